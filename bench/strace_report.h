// Reading what `strace -f -C -o FILE` wrote: the per-call summary table at the
// end and, from the trace lines above it, which files were opened how often.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

struct CallCount {
    std::string name;
    long calls = 0;
    long errors = 0;
};

struct StraceReport {
    std::vector<CallCount> calls;     // as the summary lists them (most time first)
    long total_calls = 0;             // the summary's total line
    std::map<std::string, long> opens;  // path (root prefix cut) -> openat/open calls
};

// Parse the whole output file. root is cut from the front of opened paths, so
// they read as board paths; "" keeps them as they are.
StraceReport parse_strace(std::string_view text, std::string_view root);

// Median of a list of figures (the mean of the middle two for an even count;
// 0 for none).
double median(std::vector<double> v);

}  // namespace bench
