// The marker written before a recovery script: it must reach the file, or the
// script is not started (the console powers off instead).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "console/exit_action.h"
#include "console/log.h"
#include "sim/board_tree.h"
#include "tests/support/child.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr const char *kStat = "/var/run/tolvane/recovery.stat";

class RecoveryStat : public testing::Test {
protected:
    void SetUp() override {
        tree_.emplace(sim::build_board_tree(root_));
        log_file = std::fopen(tree().host("/var/log/tolvane.log").c_str(), "w");
    }
    void TearDown() override {
        std::fclose(log_file);
        log_file = nullptr;
    }
    sim::BoardTree &tree() { return *tree_; }
    std::string log() {
        std::fflush(log_file);
        return tree().read("/var/log/tolvane.log");
    }
    // The stat file as a link to a device that takes no byte.
    void stat_on_full_device() {
        tree().remove(kStat);
        std::filesystem::create_symlink("/dev/full", tree().host(kStat));
    }
    // Run exit_action_run in a child (a started script replaces the process)
    // and hand back its exit status; 99 means it returned without an exec.
    int run_action(int action) {
        std::fflush(log_file);
        int status = test_support::run_in_child(
            [&] {
                ExitAction = action;
                exit_action_run();
                std::fflush(log_file);
            },
            99);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    test_support::TempDir tmp_{"/tmp/exit_action_XXXXXX", test_support::Root::board};
    const std::string &root_ = tmp_.path();
    std::optional<sim::BoardTree> tree_;
};

TEST_F(RecoveryStat, WrittenMarkerReadsBack) {
    ASSERT_EQ(write_recovery_stat(), 0);
    EXPECT_EQ(tree().read(kStat), "0\n");
    EXPECT_EQ(log().find("Failed"), std::string::npos);
    // ...and the script is started (the probe below sees an exec).
    EXPECT_NE(run_action(1), 99);
    EXPECT_NE(tree().effects().find("/var/run/tolvane/ext/recovery.rc"), std::string::npos);
}

TEST_F(RecoveryStat, FullDeviceIsAFailureAndNoRecoveryStarts) {
    stat_on_full_device();
    EXPECT_EQ(write_recovery_stat(), -1);
    EXPECT_NE(log().find("L[MAIN]: Failed to write /var/run/tolvane/recovery.stat\n"),
              std::string::npos);
    // Both recovery actions stop before their script, so main powers off.
    for (int action : {1, 2}) {
        EXPECT_EQ(run_action(action), 99) << "action " << action;
        EXPECT_EQ(tree().effects().find("recovery.rc"), std::string::npos) << "action " << action;
    }
}

TEST_F(RecoveryStat, UnopenableFileKeepsItsOwnLine) {
    tree().remove(kStat);
    std::filesystem::create_directories(tree().host(kStat));
    EXPECT_EQ(write_recovery_stat(), -1);
    EXPECT_NE(log().find("L[MAIN]: Failed to open /var/run/tolvane/recovery.stat for writing\n"),
              std::string::npos);
}

// After the screen is left Ctrl-C, Ctrl-\\ and Ctrl-Z stop nothing, and the
// jobs that replace the OS, the backup or the ROM, and the power-off, keep
// them ignored across the exec; a download or a network job may be stopped.
// No program inherits the console's ignored SIGPIPE.
TEST_F(RecoveryStat, StartedProgramsInheritTheKeyboardSignalsIgnoredOnlyWhenIrreversible) {
    const std::string out = tree().host("/sim/signals");
    for (const char *prog : {"/bin/ash", "/sbin/udhcpc", "/sbin/poweroff"}) {
        tree().remove(prog);
        tree().write(prog, "#!/bin/sh\nsed -n 's/^SigIgn:\\t//p' /proc/$$/status > " + out + "\n");
        std::filesystem::permissions(tree().host(prog), std::filesystem::perms::owner_all);
    }
    constexpr unsigned long kKeys = 1ul << (SIGINT - 1) | 1ul << (SIGQUIT - 1) | 1ul << (SIGTSTP - 1);
    constexpr unsigned long kPipe = 1ul << (SIGPIPE - 1);
    const struct {
        int action;  // 0: the power-off
        bool ignored;
    } rows[] = {{1, true}, {2, true}, {3, true}, {4, false}, {5, false}, {6, false}, {0, true}};
    for (const auto &row : rows) {
        std::filesystem::remove(out);
        test_support::run_in_child(
            [&] {
                std::signal(SIGPIPE, SIG_IGN);  // as the console runs
                exit_action_hold_signals();
                ExitAction = row.action;
                if (row.action != 0) exit_action_run();
                else exit_action_poweroff();
            },
            99);
        const unsigned long ignored = std::strtoul(tree().read("/sim/signals").c_str(), nullptr, 16);
        EXPECT_EQ(ignored & kKeys, row.ignored ? kKeys : 0) << "action " << row.action;
        EXPECT_EQ(ignored & kPipe, 0u) << "action " << row.action;
    }
}

}  // namespace
