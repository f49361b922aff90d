#pragma once

#include "app/form1.h"
#include "ui/question.h"

#include <QAbstractItemView>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <string>

// Helpers for the widget tests: temporary directory trees, the window started in a directory,
// error boxes recorded instead of shown, and clicks on list entries.
namespace vardo::testing {

class TempTree {
public:
    TempTree();
    ~TempTree();
    // The tree's directory, without a trailing separator.
    const std::string &path() const { return path_; }
    // The full path of a name inside the tree.
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }
    void write(const std::string &name, const std::string &bytes) const;
    void makeDirectory(const std::string &name) const;

private:
    QTemporaryDir dir_;
    std::string path_;
};

std::string readFile(const std::string &path);
bool fileExists(const std::string &path);

// Records every error box (caption, text) while it lives; nothing is shown.
class ErrorBoxRecorder {
public:
    ErrorBoxRecorder();
    ~ErrorBoxRecorder();
    QStringList texts;
    QStringList captions;
};

// Answers every question with the next queued choice (Cancel when none is left) while it
// lives, recording the questions; nothing is shown.
class QuestionScript {
public:
    QuestionScript();
    ~QuestionScript();
    std::deque<Choice> answers;
    QStringList asked;
};

// Restores the process's current directory when it ends.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard();
    ~CurrentDirectoryGuard();

private:
    std::string saved_;
};

// The main window started in a directory (which becomes the current directory), shown and
// exposed; with fresh settings unless it is to find what an earlier window remembered.
enum class StartSettings { Fresh, Kept };
std::unique_ptr<TForm1> startForm(const std::string &directory, StartSettings settings = StartSettings::Fresh);
// The file behind the editor's text, and behind the general pane's; empty for none.
const std::string &editedFile(const TForm1 &form);
const std::string &generalFile(const TForm1 &form);

// Mouse actions on a list entry, as a user makes them.
void clickRow(QAbstractItemView *list, int row, Qt::MouseButton button = Qt::LeftButton);
void doubleClickRow(QAbstractItemView *list, int row);
// The text a row shows, and those of all rows.
QString rowText(const QAbstractItemView *list, int row);
QStringList rowTexts(const QAbstractItemView *list);
// The row of an entry by its text, or -1.
int rowOf(const QAbstractItemView *list, const QString &text);

// Shows every event sent to an object to `seen` before the object gets it.
class EventWatch : public QObject {
public:
    EventWatch(QObject *watched, std::function<void(QEvent *)> seen) : seen_(std::move(seen))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        seen_(event);
        return false;
    }

private:
    std::function<void(QEvent *)> seen_;
};

} // namespace vardo::testing
