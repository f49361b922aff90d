#include "core/check/projectchecker.h"

#include "core/base/errors.h"
#include "core/check/filechecker.h"
#include "core/qc/sourcelist.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace vardo::check {

namespace {

std::string normal(const std::string &path)
{
    return std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().native();
}

std::string readDisk(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw AppError("cannot read " + path + ": " + std::strerror(errno));
    std::error_code error;
    if (std::filesystem::file_size(path, error) > kLargestChecked && !error)
        throw AppError(tooLargeToCheck(path));
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The edit distance of two short names (a swap of neighbours counts one), ASCII case ignored;
// anything past `most` is most + 1.
std::size_t distance(std::string_view a, std::string_view b, std::size_t most)
{
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    const std::size_t width = b.size() + 1;
    std::vector<std::size_t> d((a.size() + 1) * width);
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        d[i * width] = i;
        std::size_t best = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = lower(a[i - 1]) == lower(b[j - 1]);
            std::size_t v = std::min({d[(i - 1) * width + j] + 1, d[i * width + j - 1] + 1, d[(i - 1) * width + j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1]))
                v = std::min(v, d[(i - 2) * width + j - 2] + 1);
            d[i * width + j] = v;
            best = std::min(best, v);
        }
        if (best > most)
            return most + 1;
    }
    return d[a.size() * width + b.size()];
}

} // namespace

std::string tooLargeToCheck(const std::string &path)
{
    return path + " is larger than " + std::to_string(kLargestChecked >> 20) + " MiB, more than the check reads";
}

class Project : public Globals {
public:
    struct UnitState {
        std::uint16_t file;
        Macros startMacros;
        UnitResult result;
        std::vector<qc::Diagnostic> diagnostics;
        Frames frames;
    };

    explicit Project(std::string root) : root_(std::move(root)) {}

    const Decl *find(std::string_view name) const override
    {
        const auto found = byName_.find(name);
        if (found == byName_.end() || found->second.empty())
            return nullptr;
        const auto [unit, index] = found->second.front();
        return &units_[unit]->result.globals[index];
    }

    std::string nearName(std::string_view name, Meant meant) const override
    {
        static constexpr std::string_view kTypeNames[] = {"float", "vector", "string", "entity", "void", "int", "integer"};
        if (name.size() < 3 || name.size() > 64)
            return {};
        const std::size_t most = std::max<std::size_t>(1, name.size() / 4);
        std::string_view best;
        std::size_t bestDistance = most + 1;
        const auto consider = [&](std::string_view candidate) {
            if (candidate.size() + most < name.size() || candidate.size() > name.size() + most)
                return;
            const std::size_t d = distance(name, candidate, most);
            if (d < bestDistance || (d == bestDistance && candidate < best)) {
                best = candidate;
                bestDistance = d;
            }
        };
        for (const auto &[candidate, entries] : byName_) {
            const Decl *d = entries.empty() ? nullptr : &declOf(entries.front());
            if (d && (meant == Meant::Anything || (meant == Meant::Field && types_[d->type].base == Base::Field) ||
                      (meant == Meant::Type && d->kind == DeclarationKind::Type)))
                consider(candidate);
        }
        if (meant == Meant::Type)
            for (std::string_view type : kTypeNames)
                consider(type);
        return best.empty() ? std::string() : "; did you mean '" + std::string(best) + "'?";
    }

    bool frameElsewhere(std::string_view name) const override
    {
        return std::any_of(units_.begin(), units_.end(), [&](const auto &u) { return u->frames.count(name) != 0; });
    }

    const std::string *intern(std::string_view name) override { return &*names_.emplace(name).first; }
    Types &types() override { return types_; }

    void readAll(const std::map<std::string, std::string> &open)
    {
        units_.clear();
        byName_.clear();
        paths_.clear();
        fileIndex_.clear();
        texts_.clear();
        unitOfFile_.clear();
        listProblems_.clear();
        for (const auto &[path, text] : open)
            texts_[normal(path)] = text;
        const auto read = [&](const std::string &path) { return text(path); };
        std::vector<qc::SourceList> projects;
        std::error_code error;
        if (!std::filesystem::is_directory(root_, error))
            throw AppError("cannot read the folder " + root_ + (error ? ": " + error.message() : ": it is not a folder"));
        projects = qc::readProjects(root_, read);
        const qc::SourceList &list = projects[qc::chooseProject(projects, {})];
        Macros macros;
        if (list.isSourceCode)
            preprocess(SourceText{fileOf(list.listFile), &text(list.listFile)}, macros,
                       [](const std::string &, std::uint16_t) { return SourceText{0, nullptr}; });
        for (const std::string &missing : list.missing)
            listProblems_.push_back({Severity(), list.listFile, 1, 1, "the source list names " + missing + ", which is not there"});
        std::vector<Unit> preprocessed;
        std::vector<std::unique_ptr<FileChecker>> checkers;
        for (const std::string &path : list.files) {
            auto unit = std::make_unique<UnitState>();
            unit->file = fileOf(path);
            unit->startMacros = macros;
            unitOfFile_[unit->file] = units_.size();
            units_.push_back(std::move(unit));
        }
        preprocessed.reserve(units_.size());
        for (std::size_t i = 0; i < units_.size(); ++i) {
            UnitState &u = *units_[i];
            preprocessed.push_back(preprocess(SourceText{u.file, &text(paths_[u.file])}, macros, includer(i)));
            u.frames = preprocessed.back().frames;
            checkers.push_back(std::make_unique<FileChecker>(preprocessed.back(), *this, u.result));
            checkers.back()->declarations();
            enter(i);
        }
        endMacros_ = macros;
        for (std::size_t i = 0; i < units_.size(); ++i) {
            checkers[i]->bodies();
            finish(i, preprocessed[i]);
        }
    }

    std::vector<qc::Diagnostic> all() const
    {
        std::vector<qc::Diagnostic> out = listProblems_;
        for (const auto &u : units_)
            out.insert(out.end(), u->diagnostics.begin(), u->diagnostics.end());
        return out;
    }

    std::vector<qc::Diagnostic> again(const std::string &path, std::string newText)
    {
        const std::string file = normal(path);
        texts_[file] = std::move(newText);
        const std::uint16_t index = fileOf(file);
        auto unit = unitOfFile_.find(index);
        if (unit == unitOfFile_.end()) {
            auto fresh = std::make_unique<UnitState>();
            fresh->file = index;
            fresh->startMacros = endMacros_;
            unit = unitOfFile_.emplace(index, units_.size()).first;
            units_.push_back(std::move(fresh));
        }
        const std::size_t i = unit->second;
        leave(i);
        UnitState &u = *units_[i];
        u.result = UnitResult{};
        Macros macros = u.startMacros;
        const Unit preprocessed = preprocess(SourceText{u.file, &text(paths_[u.file])}, macros, includer(i));
        u.frames = preprocessed.frames;
        FileChecker checker(preprocessed, *this, u.result);
        checker.declarations();
        enter(i);
        checker.bodies();
        finish(i, preprocessed);
        std::vector<qc::Diagnostic> out;
        for (const qc::Diagnostic &d : u.diagnostics)
            if (d.file == file)
                out.push_back(d);
        return out;
    }

    std::optional<Declaration> declarationAt(const std::string &path, int line, int column) const
    {
        const auto file = fileIndex_.find(normal(path));
        if (file == fileIndex_.end())
            return std::nullopt;
        for (const auto &u : units_)
            for (const Ref &r : u->result.refs)
                if (r.file == file->second && r.line == line && column >= r.column && column < r.column + r.length) {
                    if (r.local == kFrameRef)
                        return frame(*u, *r.name);
                    return r.local >= 0 ? publicDecl(u->result.locals[static_cast<std::size_t>(r.local)], &u->result)
                                        : global(*r.name);
                }
        return std::nullopt;
    }

    std::vector<Place> usesOf(const Declaration &d) const
    {
        std::vector<Place> places;
        const bool isLocal = d.kind == DeclarationKind::Local || d.kind == DeclarationKind::Parameter;
        for (const auto &u : units_) {
            std::int32_t local = -1;
            if (d.kind == DeclarationKind::Frame) {
                const auto f = u->frames.find(d.name);
                if (f == u->frames.end() || frame(*u, d.name)->place != d.place)
                    continue;
                local = kFrameRef;
                places.push_back(d.place);
            } else if (isLocal) {
                for (std::size_t i = 0; i < u->result.locals.size(); ++i) {
                    const Decl &l = u->result.locals[i];
                    if (*l.name == d.name && paths_[l.file] == d.place.path && l.line == d.place.line && l.column == d.place.column)
                        local = static_cast<std::int32_t>(i);
                }
                if (local < 0)
                    continue;
            }
            for (const Ref &r : u->result.refs)
                if (r.local == local && *r.name == d.name)
                    places.push_back(Place{paths_[r.file], r.line, r.column});
        }
        std::sort(places.begin(), places.end(), [](const Place &a, const Place &b) {
            return std::tie(a.path, a.line, a.column) < std::tie(b.path, b.line, b.column);
        });
        places.erase(std::unique(places.begin(), places.end()), places.end());
        return places;
    }

private:
    using Severity = qc::Severity;
    using Entry = std::pair<std::size_t, std::size_t>;

    const Decl &declOf(const Entry &e) const { return units_[e.first]->result.globals[e.second]; }

    const std::string &text(const std::string &path)
    {
        auto found = texts_.find(path);
        if (found == texts_.end())
            found = texts_.emplace(path, readDisk(path)).first;
        return found->second;
    }

    std::uint16_t fileOf(const std::string &path)
    {
        const auto found = fileIndex_.find(path);
        if (found != fileIndex_.end())
            return found->second;
        if (paths_.size() >= 0xffff)
            throw AppError("the project has too many files");
        paths_.push_back(path);
        const auto index = static_cast<std::uint16_t>(paths_.size() - 1);
        fileIndex_.emplace(path, index);
        return index;
    }

    IncludeReader includer(std::size_t unit)
    {
        return [this, unit](const std::string &name, std::uint16_t from) {
            const std::string directory = std::filesystem::path(paths_[from]).parent_path().native();
            const std::string path = qc::resolveSourceName(name, directory, root_);
            if (path.empty())
                return SourceText{0, nullptr};
            try {
                const std::uint16_t file = fileOf(path);
                if (!unitOfFile_.count(file))
                    unitOfFile_.emplace(file, unit);
                return SourceText{file, &text(path)};
            } catch (const AppError &) {
                return SourceText{0, nullptr};
            }
        };
    }

    void enter(std::size_t unit)
    {
        const auto &globals = units_[unit]->result.globals;
        for (std::size_t i = 0; i < globals.size(); ++i)
            byName_[*globals[i].name].emplace_back(unit, i);
    }

    void leave(std::size_t unit)
    {
        for (const Decl &d : units_[unit]->result.globals) {
            auto &entries = byName_[*d.name];
            entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const Entry &e) { return e.first == unit; }),
                          entries.end());
        }
    }

    void finish(std::size_t unit, const Unit &preprocessed)
    {
        UnitState &u = *units_[unit];
        u.diagnostics.clear();
        for (const std::vector<Problem> *problems : std::initializer_list<const std::vector<Problem> *>{&preprocessed.problems, &u.result.problems})
            for (const Problem &p : *problems)
                u.diagnostics.push_back({p.warning ? Severity::Warning : Severity::Error, paths_[p.file], p.line, p.column, p.message});
        std::stable_sort(u.diagnostics.begin(), u.diagnostics.end(), [](const qc::Diagnostic &a, const qc::Diagnostic &b) {
            return std::tie(a.file, a.line, a.column) < std::tie(b.file, b.line, b.column);
        });
    }

    Declaration publicDecl(const Decl &d, const UnitResult *unit) const
    {
        Declaration out{*d.name, d.kind, types_.spelled(d.type) + (d.isArray ? "[]" : ""),
                        Place{paths_[d.file], d.line, d.column}, {}};
        if (unit && d.function >= 0)
            out.function = *unit->globals[static_cast<std::size_t>(d.function)].name;
        return out;
    }

    std::optional<Declaration> frame(const UnitState &unit, const std::string &name) const
    {
        const FramePlace &p = unit.frames.at(name);
        return Declaration{name, DeclarationKind::Frame, "float", Place{paths_[p.file], p.line, p.column}, {}};
    }

    std::optional<Declaration> global(const std::string &name) const
    {
        const auto found = byName_.find(name);
        if (found == byName_.end() || found->second.empty())
            return std::nullopt;
        const Entry *chosen = &found->second.front();
        for (const Entry &e : found->second)
            if (declOf(e).isDefinition) {
                chosen = &e;
                break;
            }
        return publicDecl(declOf(*chosen), nullptr);
    }

    std::string root_;
    Types types_;
    std::unordered_set<std::string> names_;
    std::vector<std::string> paths_;
    std::unordered_map<std::string, std::uint16_t> fileIndex_;
    std::map<std::string, std::string> texts_;
    std::vector<std::unique_ptr<UnitState>> units_;
    std::unordered_map<std::uint16_t, std::size_t> unitOfFile_;
    std::unordered_map<std::string_view, std::vector<Entry>> byName_;
    Macros endMacros_;
    std::vector<qc::Diagnostic> listProblems_;
};

ProjectChecker::ProjectChecker(std::string root) : root_(std::move(root)), project_(std::make_unique<Project>(root_)) {}

ProjectChecker::~ProjectChecker() = default;

std::vector<qc::Diagnostic> ProjectChecker::checkAll(const std::map<std::string, std::string> &open)
{
    project_->readAll(open);
    return project_->all();
}

std::vector<qc::Diagnostic> ProjectChecker::checkFile(const std::string &path, std::string text)
{
    return project_->again(path, std::move(text));
}

std::optional<Declaration> ProjectChecker::declarationAt(const std::string &path, int line, int column) const
{
    return project_->declarationAt(path, line, column);
}

std::vector<Place> ProjectChecker::usesOf(const Declaration &declaration) const
{
    return project_->usesOf(declaration);
}

} // namespace vardo::check
