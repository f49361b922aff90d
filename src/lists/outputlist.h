#pragma once

#include "core/qc/compileroutput.h"

#include <QListView>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vardo {

// One row of the output list: its text, how it is coloured, and the place it leads to.
struct OutputRow {
    QString text;
    qc::Severity severity = qc::Severity::None; // errors red, warnings amber, notes grey
    std::string file; // absolute, or relative to the current directory; empty: no place
    int line = 0;     // from 1; 0: no place
    int column = 0;   // from 1; 0: the whole line
    int length = 0;   // of the name a jump selects from the column; 0: the line from there on
    int markFrom = 0;   // the part of text marked, in characters: the name the row is about
    int markLength = 0;

    bool hasPlace() const { return !file.empty() && line > 0; }
};

class OutputModel;

// The list under the editor that shows the latest result, a compile or a search, one row per
// line under a heading row. It is hidden until a result comes and Esc hides it again.
// Enter or a double click on a row with a place, and goToNext / goToPrevious (F4, Shift+F4),
// hand that row on in goToRequested; the walk takes the errors first, then the warnings, then the rest.
// Rows show in the list's font with their tabs as spaces.
//
// To show a result of your own (a search, say), call
//     output->showResult(heading, rows);
// with one OutputRow per line; rows with a file and line become places to go to.
class OutputList : public QListView {
    Q_OBJECT

public:
    // The most rows a result keeps; beyond it the oldest go.
    static constexpr int kMaxRows = 10000;
    // The marked part of a shown row as (start, length) in its displayed text.
    static constexpr int kMarkRole = Qt::UserRole + 1;

    explicit OutputList(QWidget *parent = nullptr);
    ~OutputList() override;

    // Replaces what the list shows with a finished result and brings the list into view.
    void showResult(const QString &heading, std::vector<OutputRow> rows);
    // Replaces the result as showResult does, leaving the list shown or hidden as it is.
    void replaceResult(const QString &heading, std::vector<OutputRow> rows);

    // A result that grows while it is shown: begin() replaces the list with the heading alone
    // and brings it into view, append() adds rows (keeping the last kMaxRows), finish() adds the
    // closing row, which always stays.
    void begin(const QString &heading);
    void append(std::vector<OutputRow> rows);
    void finish(OutputRow summary);
    // Forgets the result and hides the list.
    void clear();
    // Shows the list, given a share of the splitter again if it was dragged shut.
    void reveal();

    // The rows after the heading.
    int resultRows() const;
    const OutputRow &resultRow(int index) const;
    QString heading() const;

    // Marks the rows whose files lie outside the project: they open read-only.
    void setOutsideMark(std::function<bool(const std::string &path)> isOutside);

    // Moves to the next (previous) row with a place after (before) the current one, wrapping
    // around, and goes there. False when no row has a place.
    bool goToNext();
    bool goToPrevious();

signals:
    // Enter, a double click or F4 / Shift+F4 chose a row with a place.
    void goToRequested(const vardo::OutputRow &row);
    // Esc hid the list.
    void dismissed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool goToFrom(int step);
    void goTo(const QModelIndex &index);

    OutputModel *model_;
};

} // namespace vardo
