// The page-state file "/var/run/tolvane/recovery.state": the selected tab on
// line 1, kept here; line 2 is a page's own (the Maintenance page's download
// address), so its writer and reader come from the caller, main, and the
// core never includes a page.
#pragma once

#include <cstdio>

// Writes or reads line 2 at the file's current place; a reader answers 0
// when it restored the line.
using StateLineFn = int (*)(std::FILE *f);

// Line 1, then save_line2 unless line 1 could not be written; a file that
// cannot be opened or written is logged.
void save_state(StateLineFn save_line2);
// 0, or -1 (no file), -2 (open failed), -3 (bad tab), -4 (load_line2 did
// not answer 0).
int restore_state(StateLineFn load_line2);
