#pragma once

#include "checking/checkworker.h"
#include "workbench/workbench.h"

#include <QObject>
#include <QTimer>

class QWidget;

namespace vardo {

class OutputList;
class TextCopy;
class TextPane;

// Checks the edited file against its project as the user types: after a pause, on a thread of
// its own, the newest text always winning. Errors and warnings become wavy underlines in the
// editor, with a mark in its gutter and the message as the mark's tooltip, and the project's
// problems the rows of the Problems view. A check brings that view into view only for an error
// in the edited file, and not once Esc closed it, until F8 shows it again.
class CheckController : public QObject {
    Q_OBJECT

public:
    // How long typing must pause before a check.
    static constexpr int kTypingPauseMs = 250;
    // The most marks a file shows, those nearest the view first.
    static constexpr int kMaxMarks = 1000;

    // F8 works anywhere in `window`.
    CheckController(Workbench &workbench, TextPane *editor, OutputList *problems, QWidget *window);

    // The project or its files changed on the disk: everything is read and checked again, now.
    void recheckProject();

    // The declaration of the name at a place of the edited file (line and column from 1), as
    // the last check saw it; none while the editor holds a text that was not checked yet.
    std::optional<check::Declaration> declarationAt(int line, int column);
    // The uses of a declaration, as the same check saw them; empty when it cannot say now.
    std::vector<check::Place> usesOf(const check::Declaration &declaration);

signals:
    // A check's result is shown: marks and rows.
    void checked();

private:
    void textChanged();
    void fileReplaced();
    void send();
    void received(CheckResult result);
    void showMarks(const std::vector<qc::Diagnostic> &diagnostics);
    void showRows(CheckResult &result);

    Workbench &workbench_;
    TextPane *editor_;
    OutputList *problems_;
    CheckWorker *worker_;
    TextCopy *copy_;
    QTimer pause_;
    // Counts the editor's texts: a result for an older one is dropped.
    unsigned long long generation_ = 1;
    bool running_ = false;
    bool wanted_ = false;     // a newer text waits for the running check to end
    bool wholeProject_ = true; // the next check reads every file again
    bool dismissed_ = false;   // Esc closed the Problems view
};

} // namespace vardo
