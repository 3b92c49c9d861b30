// Shared by the Maintenance page's unit tests: the page on a board tree of
// its own without sample markers (also the BOARD_ROOT), on a screen on
// /dev/null opened for each case.
#pragma once

#include <optional>
#include <string>

#include "console/pages/recovery_page.h"
#include "sim/board_tree.h"
#include "tests/console/boot_curses.h"
#include "tests/support/recovery_markers.h"
#include "tests/support/temp_dir.h"

namespace boot_test {

class RecoveryPageTest : public PageTest<recovery_page_create, recovery_page_destroy,
                                         recovery_page_handle_key, recovery_page_panel> {
protected:
    void SetUp() override {
        PageTest::SetUp();
        sim::TreeOptions o;
        o.sample_markers = false;
        tree_.emplace(sim::build_board_tree(root_, o));
        screen_.open("xterm");
    }
    void TearDown() override {
        PageTest::TearDown();
        screen_.close();
    }
    sim::BoardTree &tree() { return *tree_; }
    void press(int key) { recovery_page_handle_key(key); }

    test_support::TempDir tmp_{"/tmp/recovery_page_XXXXXX", test_support::Root::board};
    const std::string &root_ = tmp_.path();
    std::optional<sim::BoardTree> tree_;
    test_screen::NullScreen screen_;
};

}  // namespace boot_test
