#include "bench/strace_report.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace bench {

namespace {

std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::istringstream in{std::string(line)};
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool all_digits(const std::string &s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The first quoted argument of an open call on this trace line, if any.
// Lines may start with a pid (-f) and may be an "<... resumed>" half.
bool opened_path(std::string_view line, std::string &path) {
    for (std::string_view call : {"openat(", "open("}) {
        auto at = line.find(call);
        if (at == std::string_view::npos) continue;
        if (at > 0 && line[at - 1] != ' ' && line[at - 1] != ']') continue;
        auto q = line.find('"', at);
        if (q == std::string_view::npos) return false;
        auto e = line.find('"', q + 1);
        if (e == std::string_view::npos) return false;
        path = std::string(line.substr(q + 1, e - q - 1));
        return true;
    }
    return false;
}

}  // namespace

StraceReport parse_strace(std::string_view text, std::string_view root) {
    StraceReport r;
    bool in_table = false;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        auto nl = text.find('\n', pos);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;

        if (line.find("% time") != std::string_view::npos && line.find("syscall") != std::string_view::npos) {
            in_table = true;
            r.calls.clear();
            continue;
        }
        if (in_table) {
            if (line.starts_with("---")) continue;
            auto w = words(line);
            // % time, seconds, usecs/call, calls, [errors], name
            if (w.size() < 5 || !all_digits(w[3])) continue;
            long calls = std::strtol(w[3].c_str(), nullptr, 10);
            long errors = w.size() >= 6 && all_digits(w[4]) ? std::strtol(w[4].c_str(), nullptr, 10) : 0;
            if (w.back() == "total") {
                r.total_calls = calls;
                in_table = false;
                continue;
            }
            r.calls.push_back({w.back(), calls, errors});
            continue;
        }
        std::string path;
        if (opened_path(line, path)) {
            if (!root.empty() && path.starts_with(root)) path.erase(0, root.size());
            ++r.opens[path];
        }
    }
    return r;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace bench
