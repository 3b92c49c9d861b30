// The console's start-up, key loop, leaving and tab bar, as the operator
// sees them on the terminal and as the board's files show them afterwards.
#include <gtest/gtest.h>

#include "tests/screen/harness.h"

namespace {

using screen::ConsoleTest;
using screen::Key;

class SpineStart : public ConsoleTest {};

TEST_F(SpineStart, FirstStartShowsMainAndLogsTheMissingStateFile) {
    ASSERT_TRUE(start(24, 80));
    EXPECT_EQ(log_count("L[MAIN]: Failed to stat /var/run/tolvane/recovery.state: -1, errno: No such file or directory"), 1);
    ASSERT_TRUE(leave());
}

}  // namespace
