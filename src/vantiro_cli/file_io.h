// Private to the command-line module: the platform-specific parts of file output.
#pragma once

#include <cstdio>

// Opens path for writing from its start, creating it if needed. With owner_only the file
// is readable and writable by its owner alone (also when it already existed) and is
// emptied only after that mode is set; otherwise the platform's default mode applies.
// Returns null on failure.
FILE* cli_open_for_write(const char* path, bool owner_only);

// Forces the file's written data to stable storage (after fflush). 0 on success.
int cli_sync(FILE* f);
