// Relays to the callbacks the caller registered; each does nothing and returns 0 while its
// slot is empty. Formats are UTF-8 printf formats.
#pragma once

namespace quillan {

int msgProgress(const char* format, ...) __attribute__((format(printf, 1, 2)));
int msgThinning(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace quillan
