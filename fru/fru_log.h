// Where the FRU code writes its lines: chosen by the program that links it.
#pragma once

#include <cstdio>

// Lines go to f (null: nowhere); every line is flushed at once. With
// diagnostics on, the checksum and byte dumps are written too (the console
// wants them, the tool never prints them).
void fru_log_set_sink(std::FILE *f, bool diagnostics);

// For the FRU modules. A message is written as formatted; when an earlier
// one was left without its line end, a line break comes first so that each
// message keeps a line of its own.
void fru_log(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// Diagnostic output: written only when the sink wants diagnostics, and
// taken as part of whatever line is open. The tool never prints it, so its
// build of the FRU code (FRU_NO_DIAG) leaves it out altogether.
#if FRU_NO_DIAG
inline void fru_diag(const char *, ...) {}
constexpr bool fru_diag_on() { return false; }
#else
void fru_diag(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
bool fru_diag_on();
#endif
