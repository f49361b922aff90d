#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace vardo {

class TextPane;

namespace indent {

// The columns of a tab in the editor: Shift+Tab takes away at most this many leading spaces.
constexpr int kTabWidth = 8;

// The leading spaces and tabs of a line.
QString leadingBlanks(const QString &line);
// What Enter puts at the start of the new line after `line`.
QString nextLineIndent(const QString &line);
// The line number of the `{` that a `}` typed at `position` of `text` would close, or -1.
// Braces in comments, strings and character constants do not count.
int matchingOpenLine(const QString &text, int position);
// A line without one level of indentation: one leading tab, or up to a tab's width of spaces.
QString outdented(const QString &line);
// Comments the lines out with `// ` after their indentation, or takes that away again when
// every line that holds text already starts with `//`.
QStringList toggledComments(const QStringList &lines);

} // namespace indent

// The editing comfort of the editor: indentation kept and closed by Enter and `}`, whole lines
// indented and commented by Tab, Shift+Tab and Ctrl+/, and Home to the text first.
class Indenter : public QObject {
    Q_OBJECT

public:
    Indenter(TextPane *editor, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool newLine();
    bool closeBrace();
    // Applies `change` to each whole line of the selection (or the caret's line) as one undo
    // step, keeping those lines selected when several were.
    template <class Change>
    void changeLines(Change change);
    bool home(bool select);

    TextPane *editor_;
};

} // namespace vardo
