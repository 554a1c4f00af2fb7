// The control-point list: 63 named plane points kept for the whole run.
#pragma once
#include <string>

void posSetRow(int row, const std::string& name, double x, double y);
int posGetRow(int index, std::string& name, double& x, double& y);
int posGetCurrentRow();
int posGetRowCount();
int posIsCoordShown();
int showInputPos();

// The form is made once at program start and kept for the run, so the points outlive it.
void inputPosCreate();
void inputPosDestroy();
