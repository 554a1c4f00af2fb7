// The record detail grid.
#pragma once
#include <string>

void showQRVDetail(const std::string& title, int table, const std::string& number);
