// sarvik started the way a script starts it, for the command-line and the
// board tests alike.
#pragma once

#include <sys/wait.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child.h"

namespace sarvik_test {

struct Result {
    int status = -1;
    std::string out, err;
};

// sarvik with these arguments; BOARD_ROOT is removed from its environment
// and the extra "NAME=value" entries (a BOARD_ROOT among them) added.
inline Result sarvik(std::vector<std::string> args, const std::vector<std::string> &env_extra = {}) {
    std::vector<std::string> argv;
#ifdef SARVIK_EMULATOR
    argv.push_back(SARVIK_EMULATOR);
#endif
    argv.push_back(SARVIK_PATH);
    argv.insert(argv.end(), std::make_move_iterator(args.begin()), std::make_move_iterator(args.end()));
    Result r;
    test_support::Child child(std::move(argv), test_support::environment_without_root(env_extra));
    int st = child.wait(&r.out, &r.err);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
    return r;
}

// Messages go to standard output too: standard error stays empty.
inline void expect(const Result &r, int status, const std::string &out) {
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, "");
}

}  // namespace sarvik_test
