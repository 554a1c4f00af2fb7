#include "workbench/input.h"

#include "workbench/wbstate.h"

// Stand-in until figure input is built: every press and command is ignored.
TKXInput::TKXInput(InputView& view) : view_(view) {}
void TKXInput::mouseDown(bool, Qt::KeyboardModifiers, int, int) {}
void TKXInput::mouseMove(Qt::KeyboardModifiers, int, int) {}
void TKXInput::PM_PicRB_DeleteClick() {}
void TKXInput::PM_PicRB_FIXClick() {}
void TKXInput::PM_PicRB_CancelClick() {}
void TKXInput::ITEM11Click(int) {}
void TKXInput::MenuItem2Click(int) {}
void TKXInput::MI_FixClick() {}
void TKXInput::inputPaintOverlay(Canvas&) {}

void inputSetDrawMode(int tag) { wb.drawTag = tag; }
