// Process-wide signal settings shared by the programs' entries.
#pragma once

// Ignores SIGXFSZ, so a write past the file-size limit fails with EFBIG and the savers report
// it as any other failed write, instead of the process being killed mid-save.
void platformIgnoreFileSizeSignal();
