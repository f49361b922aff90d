#include "core/quickopen/ranking.h"

#include <algorithm>

namespace vardo::quickopen {

namespace {

constexpr int kNameBonus = 1000;  // every letter in the file name beats any spread over folders
constexpr int kPrefixBonus = 100; // the file name starts with the query
constexpr int kWordStartBonus = 8;
constexpr int kAdjacentBonus = 5;
constexpr int kLongestGapPenalty = 3;
// Greedy matching from this many starts of the first letter finds the good alignments.
constexpr int kStartsTried = 4;

constexpr char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isLower(char c)
{
    return c >= 'a' && c <= 'z';
}

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isWordStart(std::string_view text, std::size_t at)
{
    if (at == 0)
        return true;
    const char before = text[at - 1], here = text[at];
    return before == '/' || before == '_' || before == '-' || before == '.' || before == ' ' ||
           (isLower(before) && isUpper(here)) || (!isDigit(before) && isDigit(here));
}

bool isSubsequence(std::string_view query, std::string_view text)
{
    std::size_t at = 0;
    for (const char c : text) {
        if (lower(c) == lower(query[at]) && ++at == query.size())
            return true;
    }
    return false;
}

// The letters matched greedily from `start`, which holds the first of them.
int scoreFrom(std::string_view query, std::string_view text, std::size_t start)
{
    int score = 0;
    std::size_t previous = start, at = start;
    for (std::size_t q = 0; q < query.size(); ++q, ++at) {
        while (at < text.size() && lower(text[at]) != lower(query[q]))
            ++at;
        if (at == text.size())
            return kNoMatch;
        if (isWordStart(text, at))
            score += kWordStartBonus;
        if (q > 0 && at == previous + 1)
            score += kAdjacentBonus;
        else if (q > 0)
            score -= std::min<int>(static_cast<int>(at - previous - 1), kLongestGapPenalty);
        previous = at;
    }
    return score;
}

int bestAlignment(std::string_view query, std::string_view text)
{
    int best = kNoMatch, tried = 0;
    for (std::size_t at = 0; at < text.size() && tried < kStartsTried; ++at) {
        if (lower(text[at]) != lower(query[0]))
            continue;
        ++tried;
        best = std::max(best, scoreFrom(query, text, at));
    }
    return best;
}

} // namespace

int matchScore(std::string_view query, std::string_view path)
{
    if (query.empty())
        return 0;
    if (!isSubsequence(query, path))
        return kNoMatch;
    const std::string_view name = path.substr(path.rfind('/') + 1);
    if (!isSubsequence(query, name))
        return std::max(0, bestAlignment(query, path) + kNameBonus / 2);
    const bool prefix = name.size() >= query.size() &&
                        std::ranges::equal(name.substr(0, query.size()), query,
                                           [](char a, char b) { return lower(a) == lower(b); });
    return kNameBonus + bestAlignment(query, name) + (prefix ? kPrefixBonus : 0);
}

Ranked rankMatches(const std::vector<std::string> &paths, std::string_view query, std::size_t most)
{
    Ranked ranked;
    if (query.empty()) {
        ranked.matches = paths.size();
        for (std::size_t i = 0; i < std::min(most, paths.size()); ++i)
            ranked.best.push_back(i);
        return ranked;
    }
    struct Scored {
        int score;
        std::size_t length;
        std::size_t index;
    };
    std::vector<Scored> found;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (const int score = matchScore(query, paths[i]); score != kNoMatch)
            found.push_back({score, paths[i].size(), i});
    }
    const auto better = [](const Scored &a, const Scored &b) {
        if (a.score != b.score)
            return a.score > b.score;
        return a.length != b.length ? a.length < b.length : a.index < b.index;
    };
    const auto shown = found.begin() + static_cast<std::ptrdiff_t>(std::min(most, found.size()));
    std::partial_sort(found.begin(), shown, found.end(), better);
    ranked.matches = found.size();
    for (auto it = found.begin(); it != shown; ++it)
        ranked.best.push_back(it->index);
    return ranked;
}

} // namespace vardo::quickopen
