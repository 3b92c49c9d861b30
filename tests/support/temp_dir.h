// A fresh folder under /tmp for one test, removed with all it holds when the
// test ends; as a board root it is also the test's BOARD_ROOT meanwhile.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace test_support {

enum class Root { no, board };

class TempDir {
public:
    // pattern: "/tmp/NAME-XXXXXX", as mkdtemp takes it.
    explicit TempDir(std::string pattern, Root root = Root::no) : path_(std::move(pattern)) {
        if (mkdtemp(path_.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp " << path_;
            path_.clear();
        }
        board_root_ = root == Root::board;
        if (board_root_) setenv("BOARD_ROOT", path_.c_str(), 1);
    }
    ~TempDir() { remove(); }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    operator const std::string &() const { return path_; }

    // Removes the folder now (and unsets BOARD_ROOT if it was the root);
    // false when something stayed behind.
    bool remove() {
        if (board_root_) unsetenv("BOARD_ROOT");
        board_root_ = false;
        if (path_.empty()) return true;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        path_.clear();
        return !ec;
    }

private:
    std::string path_;
    bool board_root_ = false;
};

}  // namespace test_support
