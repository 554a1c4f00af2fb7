// The raster picker: the stand-alone road's main form.
#pragma once

// The form is made once at program start; the start-up hand-off runs it modally for kind 1.
void frmNVMainCreate();
void frmNVMainDestroy();
int frmNVMainShowModal();
