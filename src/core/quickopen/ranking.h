#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Filtering file paths by typed letters, as quick open does.
namespace vardo::quickopen {

inline constexpr int kNoMatch = -1;

// How well `query` matches `path` when its letters occur in it in order (without regard to
// case): higher for letters in the file name rather than its folders, at the start of words
// ("bp" in "bot_pain.qc") and next to each other; kNoMatch when they do not all occur.
int matchScore(std::string_view query, std::string_view path);

struct Ranked {
    // Indices into the paths, best first; among equals the shorter path, then the earlier.
    std::vector<std::size_t> best;
    // How many paths match in all.
    std::size_t matches = 0;
};

// The `most` best matches of a query among paths; an empty query keeps the paths' order.
Ranked rankMatches(const std::vector<std::string> &paths, std::string_view query, std::size_t most);

} // namespace vardo::quickopen
