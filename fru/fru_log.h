// Where the FRU code writes its lines: chosen by the program that links it.
#pragma once

#include <cstdio>

// Lines go to f (null: nowhere); every line is flushed at once. With
// diagnostics on, the checksum and byte dumps are written too (the console
// wants them, the tool never prints them).
void fru_log_set_sink(std::FILE *f, bool diagnostics);
