#include "core/base/words.h"

#include "core/base/errors.h"

namespace vardo {

std::vector<std::string> splitWords(std::string_view line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (++i == line.size())
                throw AppError("The arguments end in a lone backslash");
            word += line[i];
        } else if (c == '\'' || c == '"') {
            for (++i; i < line.size() && line[i] != c; ++i) {
                const bool escaped = c == '"' && line[i] == '\\' && i + 1 < line.size() &&
                                     (line[i + 1] == '"' || line[i + 1] == '\\');
                word += line[escaped ? ++i : i];
            }
            if (i == line.size())
                throw AppError(std::string("The arguments have a ") + c + " without its closing " + c);
        } else {
            word += c;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

} // namespace vardo
