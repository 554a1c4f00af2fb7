// The three 8 x 8 one-bit tone patterns of the fills (10, 25 and 50 %): colour table entry 0
// black, entry 1 white; a black dot takes the figure colour when filled.
#pragma once
#include <QImage>

// Tone pattern of a fill kind: 0 10 %, 1 25 %, 2 50 %; nullptr for any other kind.
const QImage* toneGetGraphic(int kind);
