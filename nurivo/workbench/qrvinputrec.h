// The reference-number picker of a reference layer.
#pragma once
struct TPRec;

// t is the reference table; results as showKXInputRec2.
int showQRVInputRec(int t, int mode, TPRec* rec);
