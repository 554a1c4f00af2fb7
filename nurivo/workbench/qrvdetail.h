// The record detail grid.
#pragma once
#include <string>

void showQRVDetail(const std::string& title, int table, const std::string& number);

// The form is made once at program start and kept for the run.
void qrvDetailCreate();
void qrvDetailDestroy();
