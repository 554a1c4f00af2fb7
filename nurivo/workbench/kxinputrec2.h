// The figure attribute dialog of the figure layer.
#pragma once
struct TPRec;

// mode 1 edits ("更新"), any other adds ("追加"). 1 "取消", 2 confirmed in mode 1, 3 confirmed
// otherwise; a frame close gives 2 and writes nothing back. Only the header is copied back.
int showKXInputRec2(int mode, TPRec* rec);
