#include "core/qc/sourcelist.h"

#include "core/base/paths.h"
#include "core/qc/lexer.h"
#include "core/qc/textlines.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace vardo::qc {

namespace fs = std::filesystem;

namespace {

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowered(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowered(x) == lowered(y); });
}

bool isRegularFile(const fs::path &path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// The entry of `directory` whose name matches `name` in any case; empty when none does.
fs::path findIgnoringCase(const fs::path &directory, const std::string &name)
{
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
        if (equalsIgnoringCase(it->path().filename().native(), name))
            return it->path();
    return {};
}

// `relative` under `base`, its components matched in any case where the exact one is missing.
std::string resolveUnder(const fs::path &base, const fs::path &relative)
{
    const fs::path exact = (base / relative).lexically_normal();
    if (isRegularFile(exact))
        return exact.native();
    fs::path current = relative.is_absolute() ? relative.root_path() : base;
    for (const fs::path &part : relative.relative_path()) {
        std::error_code error;
        if (part == "." || part.empty())
            continue;
        if (part == ".." || fs::exists(current / part, error)) {
            current = (current / part).lexically_normal();
            continue;
        }
        current = findIgnoringCase(current, part.native());
        if (current.empty())
            return {};
    }
    return isRegularFile(current) ? current.lexically_normal().native() : std::string();
}

// A name as written in a list or an #include: quotes or angle brackets removed.
std::string_view unquoted(std::string_view word)
{
    word = trimmed(word);
    if (word.size() >= 2 && ((word.front() == '"' && word.back() == '"') || (word.front() == '<' && word.back() == '>')))
        return word.substr(1, word.size() - 2);
    if (!word.empty() && word.front() == '"') // unclosed
        return word.substr(1);
    return word;
}

class ListBuilder {
public:
    explicit ListBuilder(const std::string &directory) : directory_(directory) {}

    void addSource(std::string_view name)
    {
        name = unquoted(name);
        if (name.empty())
            return;
        const std::string path = resolveSourceName(name, directory_, directory_);
        if (path.empty())
            list_.missing.emplace_back(name);
        else if (seen_.insert(path).second)
            list_.files.push_back(path);
    }

    SourceList &list() { return list_; }

private:
    std::string directory_;
    SourceList list_;
    std::set<std::string> seen_;
};

// The words of an older-style list: blank-separated, quoted words kept whole, comments and
// lines that begin with "#" skipped.
std::vector<std::string_view> oldStyleWords(std::string_view text)
{
    std::vector<std::string_view> words;
    bool lineStart = true;
    std::size_t i = 0;
    const auto skipTo = [&](std::string_view what) {
        const std::size_t at = text.find(what, i);
        i = at == std::string_view::npos ? text.size() : at + what.size();
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            lineStart = true;
            ++i;
        } else if (isBlank(c)) {
            ++i;
        } else if (text.substr(i, 2) == "//" || (c == '#' && lineStart)) {
            skipTo("\n");
            lineStart = true;
        } else if (text.substr(i, 2) == "/*") {
            i += 2;
            skipTo("*/");
        } else {
            lineStart = false;
            const std::size_t begin = i;
            if (c == '"') {
                const std::size_t close = text.find('"', begin + 1);
                i = close == std::string_view::npos ? text.size() : close + 1;
            } else {
                while (i < text.size() && !isBlank(text[i]) && text.substr(i, 2) != "//" && text.substr(i, 2) != "/*")
                    ++i;
            }
            words.push_back(text.substr(begin, i - begin));
        }
    }
    return words;
}

// Whether the first word of a list, past comments and blanks, starts with "#".
bool isNewStyle(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isBlank(text[i]))
            continue;
        if (text.substr(i, 2) == "//") {
            i = std::min(text.find('\n', i), text.size());
        } else if (text.substr(i, 2) == "/*") {
            const std::size_t close = text.find("*/", i + 2);
            i = close == std::string_view::npos ? text.size() : close + 1;
        } else {
            return text[i] == '#';
        }
    }
    return false;
}

// What a preprocessor condition comes to, as far as the list alone can tell.
enum class Truth { False, True, Unknown };

struct Branch {
    bool outerActive;
    Truth truth;
    bool anyTaken; // some earlier branch of this #if was certainly taken
};

bool isComment(const Token &t)
{
    return t.kind == TokenKind::Comment || t.kind == TokenKind::EntityComment;
}

class NewStyleReader {
public:
    NewStyleReader(ListBuilder &builder) : builder_(builder) {}

    void line(std::string_view text)
    {
        tokens_.clear();
        state_ = lexLine(text, state_, tokens_);
        std::string code(text);
        for (const Token &t : tokens_)
            if (isComment(t))
                code.replace(t.begin, t.length, t.length, ' ');
        const auto first = std::find_if_not(tokens_.begin(), tokens_.end(), isComment);
        if (first == tokens_.end() || first->kind != TokenKind::Preprocessor) {
            if (inList_ && active())
                for (std::string_view word : oldStyleWords(code))
                    builder_.addSource(word);
            return;
        }
        const std::string_view codeView = code;
        directive(codeView.substr(first->begin + 1, first->length - 1),
                  trimmed(codeView.substr(first->begin + first->length)));
    }

private:
    bool active() const { return branches_.empty() || (branches_.back().outerActive && branches_.back().truth != Truth::False); }

    Truth evaluate(std::string_view condition) const
    {
        bool negate = false;
        condition = trimmed(condition);
        if (!condition.empty() && condition.front() == '!') {
            negate = true;
            condition = trimmed(condition.substr(1));
        }
        Truth truth = Truth::Unknown;
        if (condition.substr(0, 7) == "defined") {
            std::string_view name = trimmed(condition.substr(7));
            if (!name.empty() && name.front() == '(' && name.back() == ')')
                name = trimmed(name.substr(1, name.size() - 2));
            truth = defines_.count(std::string(name)) ? Truth::True : Truth::Unknown;
        } else if (!condition.empty() && std::all_of(condition.begin(), condition.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            truth = std::any_of(condition.begin(), condition.end(), [](char c) { return c != '0'; }) ? Truth::True : Truth::False;
        }
        if (negate && truth != Truth::Unknown)
            truth = truth == Truth::True ? Truth::False : Truth::True;
        return truth;
    }

    // An undefined name may still come from the compiler's command line: unknown, not false.
    Truth definedTruth(std::string_view name, bool wanted) const
    {
        const bool known = defines_.count(std::string(firstWord(name))) != 0;
        if (!known)
            return Truth::Unknown;
        return wanted ? Truth::True : Truth::False;
    }

    static std::string_view firstWord(std::string_view s)
    {
        s = trimmed(s);
        const auto end = std::find_if(s.begin(), s.end(), isBlank);
        return s.substr(0, static_cast<std::size_t>(end - s.begin()));
    }

    void open(Truth truth) { branches_.push_back({active(), truth, truth == Truth::True}); }

    void directive(std::string_view name, std::string_view argument)
    {
        if (name == "ifdef" || name == "ifndef" || name == "if") {
            open(name == "if" ? evaluate(argument) : definedTruth(argument, name == "ifdef"));
        } else if ((name == "else" || name == "elif") && !branches_.empty()) {
            Branch &b = branches_.back();
            if (b.anyTaken)
                b.truth = Truth::False;
            else if (name == "elif")
                b.truth = b.truth == Truth::True ? Truth::False : evaluate(argument);
            else
                b.truth = b.truth == Truth::False ? Truth::True : (b.truth == Truth::True ? Truth::False : Truth::Unknown);
            b.anyTaken = b.anyTaken || b.truth == Truth::True;
        } else if (name == "endif") {
            if (!branches_.empty())
                branches_.pop_back();
        } else if (!active()) {
            return;
        } else if (name == "include") {
            builder_.addSource(argument);
        } else if (name == "includelist") {
            inList_ = true;
        } else if (name == "endlist") {
            inList_ = false;
        } else if (name == "output") {
            builder_.list().output = unquoted(argument);
        } else if (name == "define") {
            defines_.insert(std::string(firstWord(argument)));
        } else if (name == "undef") {
            defines_.erase(std::string(firstWord(argument)));
        } else if (name == "pragma") {
            pragma(argument);
        }
    }

    void pragma(std::string_view argument)
    {
        const std::string_view word = firstWord(argument);
        const std::string_view rest = trimmed(argument.substr(word.size()));
        if (equalsIgnoringCase(word, "progs_dat"))
            builder_.list().output = unquoted(rest);
        else if (equalsIgnoringCase(word, "sourcefile"))
            builder_.addSource(rest);
    }

    ListBuilder &builder_;
    std::vector<Token> tokens_;
    LineState state_ = LineState::Code;
    bool inList_ = false;
    std::vector<Branch> branches_;
    std::set<std::string> defines_;
};

bool hasSourceExtension(const fs::path &path)
{
    const std::string extension = path.extension().native();
    return equalsIgnoringCase(extension, ".qc") || equalsIgnoringCase(extension, ".qh");
}

} // namespace

std::string resolveSourceName(std::string_view name, const std::string &fromDirectory,
                              const std::string &listDirectory)
{
    std::string cleaned(trimmed(name));
    std::replace(cleaned.begin(), cleaned.end(), '\\', '/');
    if (cleaned.empty() || cleaned.find('\0') != std::string::npos)
        return {};
    const fs::path relative(cleaned);
    if (relative.is_absolute())
        return resolveUnder("/", relative.relative_path());
    std::string found = resolveUnder(fromDirectory, relative);
    if (found.empty() && listDirectory != fromDirectory)
        found = resolveUnder(listDirectory, relative);
    return found;
}

SourceList parseSourceList(std::string_view text, const std::string &directory)
{
    ListBuilder builder(directory);
    if (isNewStyle(text)) {
        builder.list().isSourceCode = true;
        NewStyleReader reader(builder);
        forEachLine(text, [&](std::string_view line, std::size_t) { reader.line(line); });
    } else {
        const std::vector<std::string_view> words = oldStyleWords(text);
        if (!words.empty())
            builder.list().output = unquoted(words.front());
        for (std::size_t i = 1; i < words.size(); ++i)
            builder.addSource(words[i]);
    }
    return std::move(builder.list());
}

bool holdsSourceList(const std::string &folder)
{
    return std::ranges::any_of(kSourceListNames,
                               [&](std::string_view name) { return !resolveSourceName(name, folder, folder).empty(); });
}

std::string findProjectRoot(const std::string &directory)
{
    fs::path start = fs::path(directory).lexically_normal();
    if (start.has_relative_path() && start.filename().empty())
        start = start.parent_path(); // "mod/" names the same folder as "mod"
    for (fs::path folder = start;; folder = folder.parent_path()) {
        std::error_code error;
        fs::directory_iterator probe(folder, error);
        if (error)
            break;
        if (holdsSourceList(folder.native()))
            return folder.native();
        if (folder == folder.root_path() || !folder.has_relative_path())
            break;
    }
    return start.native();
}

std::vector<SourceList> readProjects(const std::string &directory, const ReadFile &read)
{
    std::vector<SourceList> projects;
    std::set<std::string> lists;
    for (std::string_view name : kSourceListNames) {
        const std::string path = resolveSourceName(name, directory, directory);
        if (path.empty() || !lists.insert(path).second)
            continue;
        std::string text;
        try {
            text = read(path);
        } catch (...) {
            // An unreadable list is an empty project: the window must still open the directory.
        }
        SourceList list = parseSourceList(text, fs::path(path).parent_path().native());
        list.listFile = path;
        projects.push_back(std::move(list));
    }
    if (!projects.empty())
        return projects;
    SourceList all;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
        if (hasSourceExtension(it->path()) && isRegularFile(it->path()))
            all.files.push_back(it->path().lexically_normal().native());
    std::sort(all.files.begin(), all.files.end());
    projects.push_back(std::move(all));
    return projects;
}

std::size_t chooseProject(const std::vector<SourceList> &projects, const std::string &editedFile)
{
    for (std::size_t i = 0; i < projects.size(); ++i)
        if (std::find(projects[i].files.begin(), projects[i].files.end(), editedFile) != projects[i].files.end())
            return i;
    for (std::size_t i = 0; i < projects.size(); ++i)
        if (equalsIgnoringCase(fs::path(projects[i].listFile).filename().native(), kSourceListNames.front()))
            return i;
    return 0;
}

namespace {

bool below(const std::string &path, const std::string &root)
{
    return path.compare(0, root.size(), root) == 0;
}

} // namespace

ProjectBounds::ProjectBounds(const std::string &root, const SourceList &project) : root_(paths::canonical(root))
{
    if (root_.empty() || root_.back() != '/')
        root_ += '/';
    // Only names that leave the root are resolved: a folder of 100,000 files costs nothing.
    for (const std::string &file : project.files)
        if (!below(file, root_) || file.find("/../") != std::string::npos)
            if (std::string resolved = paths::canonical(file); !below(resolved, root_))
                elsewhere_.insert(std::move(resolved));
}

bool ProjectBounds::contains(const std::string &path) const
{
    return below(path, root_) || elsewhere_.contains(path);
}

} // namespace vardo::qc
