// The page-state file "/var/run/tolvane/recovery.state": the selected tab on
// line 1, the Maintenance page's download address on line 2.
#pragma once

void save_state();
// 0, or -1 (no file), -2 (open failed), -3 (bad tab), -4 (bad address).
int restore_state();
