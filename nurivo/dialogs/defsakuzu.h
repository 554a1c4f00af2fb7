// The drawing-settings dialog: the layers' attribute lists and a few drawing settings.
#pragma once

// Shows the dialog on layer-set entry `index`; the modal result (2, also by the frame).
int showDefSakuzu(int index);

// The form is made once at program start and kept for the run.
void defSakuzuCreate();
void defSakuzuDestroy();
