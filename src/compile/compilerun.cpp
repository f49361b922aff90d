#include "compile/compilerun.h"

#include "compile/compiler.h"
#include "core/base/errors.h"
#include "core/base/paths.h"
#include "core/qc/compilerversion.h"
#include "doc/qtext.h"
#include "lists/outputlist.h"

#include <algorithm>

namespace vardo {

namespace {

QString counted(int count, const char *singular, const char *plural)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? singular : plural));
}

OutputRow messageRow(const QString &text, qc::Severity severity = qc::Severity::None)
{
    OutputRow row;
    row.text = text;
    row.severity = severity;
    return row;
}

// A row holds no more than it can show; the place comes from the whole line.
QString rowText(const qc::OutputReader::Line &line)
{
    const std::string &text = line.text;
    const bool plain = !line.cut && text.size() <= qc::kShownLength &&
                       std::ranges::all_of(text, [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\t'; });
    return plain ? QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))
                 : QString::fromStdString(qc::shownText(text, line.cut));
}

QString commandText(const tools::Command &command)
{
    QString text = displayText(command.program);
    for (const std::string &arg : command.args)
        text += QLatin1Char(' ') + displayText(arg);
    return text;
}

} // namespace

QString compileSummary(int errors, int warnings, tools::CapturedRun::End how, int exitCode, double seconds,
                       bool tooOld)
{
    const QString ending = how == tools::CapturedRun::End::Crashed ? QStringLiteral("crashed")
                                                                   : QStringLiteral("exit code %1").arg(exitCode);
    const QString counts =
        QStringLiteral("%1, %2, %3, %4 s")
            .arg(counted(errors, "error", "errors"), counted(warnings, "warning", "warnings"), ending)
            .arg(seconds, 0, 'f', 2);
    return tooOld ? counts + QStringLiteral(". ") + QLatin1String(kNeedsNewerCompiler) : counts;
}

CompileRun::CompileRun(OutputList *output, QObject *parent) : QObject(parent), output_(output)
{
    connect(&run_, &tools::CapturedRun::outputArrived, this,
            [this](std::string_view chunk) { show(reader_.feed(chunk)); });
    connect(&run_, &tools::CapturedRun::ended, this, &CompileRun::end);
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kShowEvery);
    connect(&flushTimer_, &QTimer::timeout, this, &CompileRun::flush);
}

void CompileRun::start(const std::string &directory, const build::CompilerChoice &choice)
{
    run_.stop();
    reader_ = {};
    pending_.clear();
    flushTimer_.stop();
    directory_ = directory;
    tooOld_ = false;
    const QString place = QStringLiteral("Compiling in ") + displayText(directory);
    std::optional<build::CompilerRun> compiler;
    try {
        compiler = build::compilerToRun(choice);
    } catch (const AppError &cannot) {
        output_->begin(place);
        output_->finish(messageRow(
            QString::fromStdString(cannot.what()) + QStringLiteral(": change it with right-click on QCC!."),
            qc::Severity::Error));
        return;
    }
    if (!compiler) {
        output_->begin(place);
        output_->finish(messageRow(QString::fromLatin1(build::kNoCompilerFound), qc::Severity::Error));
        return;
    }
    program_ = compiler->command.program;
    const std::string version = qc::compilerVersion(compiler->compiler);
    isFteqcc_ = paths::fileNamePart(compiler->compiler) == "fteqcc";
    output_->begin(QStringLiteral("%1 with %2%3: %4")
                       .arg(place, displayText(version),
                            compiler->chosen ? QStringLiteral(" (your choice)") : QString(),
                            commandText(compiler->command)));
    clock_.start();
    run_.start(compiler->command, directory);
}

void CompileRun::show(std::vector<qc::OutputReader::Line> lines)
{
    for (qc::OutputReader::Line &line : lines) {
        tooOld_ = tooOld_ || (isFteqcc_ && qc::isOldFteqccComplaint(line.text));
        const qc::Diagnostic &found = line.diagnostic;
        OutputRow row = messageRow(rowText(line), found.severity);
        row.line = found.line;
        row.column = found.column;
        // Absolute now: the user may change directory before going there.
        if (found.hasPlace())
            row.file = found.file.starts_with('/') ? found.file : paths::join(directory_, found.file);
        pending_.push_back(std::move(row));
    }
    // The list keeps no more rows than this anyway.
    while (pending_.size() > static_cast<std::size_t>(OutputList::kMaxRows))
        pending_.pop_front();
    if (!pending_.empty() && !flushTimer_.isActive())
        flushTimer_.start();
}

void CompileRun::flush()
{
    flushTimer_.stop();
    if (pending_.empty())
        return;
    std::vector<OutputRow> rows(std::make_move_iterator(pending_.begin()), std::make_move_iterator(pending_.end()));
    pending_.clear();
    output_->append(std::move(rows));
}

void CompileRun::end(tools::CapturedRun::End how, int exitCode, const std::string &error)
{
    show(reader_.finish());
    flush();
    if (how == tools::CapturedRun::End::FailedToStart) {
        output_->finish(messageRow(
            QStringLiteral("Could not start %1: %2").arg(displayText(program_), QString::fromStdString(error)),
            qc::Severity::Error));
    } else {
        const double seconds = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
        output_->finish(
            messageRow(compileSummary(reader_.errors(), reader_.warnings(), how, exitCode, seconds, tooOld_)));
    }
    emit ended();
}

} // namespace vardo
