// The editing workflow driven through the real widgets: preview, open-for-edit with autosave,
// caret status, the modification mark, and the function index in `com`.
#include "widgettesting.h"

#include "core/qc/functionindex.h"
#include "doc/qtext.h"
#include "doc/textcopy.h"
#include "edit/editcontroller.h"
#include "edit/indexcontroller.h"
#include "lists/filelistbox.h"
#include "lists/indexcombobox.h"
#include "panes/busyload.h"
#include "panes/textpane.h"
#include "ui/notebook.h"
#include "ui/question.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace vardo;
using namespace vardo::testing;

namespace {

// Runs a user action and returns what the console sink wrote to standard error meanwhile; the
// text is passed on to the real standard error afterwards. Kept to single actions so that a
// crash report is never swallowed.
template <typename Action>
QString consoleOf(Action action)
{
    std::fflush(stderr);
    std::FILE *capture = std::tmpfile();
    const int saved = ::dup(2);
    ::dup2(::fileno(capture), 2);
    action();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    const std::string text = readFile("/proc/self/fd/" + std::to_string(::fileno(capture)));
    std::fclose(capture);
    std::fputs(text.c_str(), stderr);
    return QString::fromStdString(text);
}

// A window over a temporary directory that holds the given files.
struct Session {
    CurrentDirectoryGuard guard;
    TempTree tree;
    ErrorBoxRecorder errors;
    QuestionScript questions;
    std::unique_ptr<TForm1> form;

    explicit Session(std::initializer_list<std::pair<std::string, std::string>> files)
    {
        for (const auto &[name, bytes] : files)
            tree.write(name, bytes);
        form = startForm(tree.path());
        if (form) {
            form->activateWindow();
            (void)QTest::qWaitForWindowActive(form.get());
        }
    }
    std::string path(const std::string &name) const { return tree / name; }
    std::string disk(const std::string &name) const { return readFile(tree / name); }
    int row(const char *name) const { return rowOf(form->qclista, QString::fromLatin1(name)); }
    void preview(const char *name) { clickRow(form->qclista, row(name)); }
    void open(const char *name) { doubleClickRow(form->qclista, row(name)); }
    QString editCaption() const { return form->Manager->tabText(TForm1::EditPage); }
    QString status() const { return form->editbar->currentMessage(); }
    std::string editorText() const { return form->vardo->wholeText().toStdString(); }
    void clickEditor() { QTest::mouseClick(form->vardo->viewport(), Qt::LeftButton, {}, QPoint(4, 4)); }
    // Types at the very start of the editor's text.
    void typeAtStart(const QString &text)
    {
        clickEditor();
        QTest::keyClick(form->vardo, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClicks(form->vardo, text);
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(form->vardo, key, modifiers);
    }
    // Chooses an index entry with the mouse in the drop-down, opening it first if needed.
    void choose(int index)
    {
        if (!form->com->view()->isVisible())
            form->com->showPopup();
        QAbstractItemView *view = form->com->view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        const QRect item = view->visualRect(view->model()->index(index, 0));
        QTest::mouseMove(view->viewport(), item.center());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
        QTRY_VERIFY(!view->isVisible());
    }
    QStringList entries() const
    {
        QStringList items;
        for (int i = 0; i < form->com->count(); ++i)
            items << form->com->itemText(i);
        return items;
    }
    QString selected() const { return form->vardo->textCursor().selectedText(); }
    // Another program's save of a file.
    void saveElsewhere(const std::string &name, const std::string &bytes) { tree.write(name, bytes); }
    // The user goes to another window and comes back.
    void leaveAndComeBack()
    {
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
};

const QString kOverwriteA = QStringLiteral("a.qc was changed on disk since it was opened. Overwrite it with your version?");

struct timespec modificationTime(const std::string &path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mtim;
}

} // namespace

class Editing : public QObject {
    Q_OBJECT

private slots:
    void previewShowsTheFileAndTellsWhetherItIsEdited()
    {
        Session s({{"a.qc", "alpha\r\n"}, {"b.qc", "beta\n"}, {"r&d.qc", ""}});
        QVERIFY(s.form);
        // An '&' of a file name is shown on the tab, not taken as an access key.
        s.preview("r&d.qc");
        QCOMPARE(s.form->Manager->tabText(TForm1::ViewPage), QStringLiteral("r&&d.qc"));
        s.preview("a.qc");
        QCOMPARE(s.form->veer->wholeText(), QStringLiteral("alpha\r\n"));
        QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::ViewPage));
        QCOMPARE(s.form->Manager->tabText(TForm1::ViewPage), QStringLiteral("a.qc"));
        QCOMPARE(s.form->veer->border(), TextPane::Border::None);

        s.open("a.qc");
        s.preview("a.qc");
        QCOMPARE(s.form->veer->border(), TextPane::Border::Single);
        s.preview("b.qc");
        QCOMPARE(s.form->veer->wholeText(), QStringLiteral("beta\r\n"));
        QCOMPARE(s.form->veer->border(), TextPane::Border::None);
        QCOMPARE(s.form->Manager->tabText(TForm1::ViewPage), QStringLiteral("b.qc"));
    }

    // A wrapping pane lays out every line again whenever its view changes width: the text of a
    // preview arrives in a view already as wide as it will be, whatever the digits of its line
    // numbers and the scroll bar the text brings.
    void previewTextArrivesInAViewOfSteadyWidth()
    {
        std::string many;
        for (int i = 0; i < 30000; ++i)
            many += "    self.nextthink = time + 0.1;\r\n";
        Session s({{"a.qc", "A\r\n"}, {"many.qc", many}, {"b.qc", "B\r\n"}});
        QVERIFY(s.form);
        s.preview("a.qc");
        TextPane *veer = s.form->veer;
        int widthChangesWhileFilling = 0;
        const EventWatch watch(veer->viewport(), [&](QEvent *event) {
            if (event->type() != QEvent::Resize)
                return;
            const auto *resize = static_cast<QResizeEvent *>(event);
            if (resize->size().width() != resize->oldSize().width() && veer->doc()->isFilling())
                ++widthChangesWhileFilling;
        });
        s.preview("many.qc");
        QCOMPARE(veer->document()->blockCount(), 30001);
        QVERIFY(veer->verticalScrollBar()->isVisible());
        s.preview("b.qc");
        QVERIFY(!veer->verticalScrollBar()->isVisible());
        QCOMPARE(widthChangesWhileFilling, 0);
    }

    // Behind an editor that holds the same large file, the preview keeps only the text it read,
    // and shows it again as it was when turned to; a file the editor does not hold stays.
    void previewLetsGoOfALargeFileTheEditorHolds()
    {
        std::string large;
        for (int i = 0; large.size() <= TextPane::kSetAsideFrom; ++i)
            large += "float line" + std::to_string(i) + ";\n";
        Session s({{"large.qc", large}, {"other.qc", large}});
        QVERIFY(s.form);
        TextPane *veer = s.form->veer;
        s.preview("large.qc");
        s.form->Manager->setCurrentIndex(TForm1::HelpPage);
        QVERIFY(!veer->textSetAside());
        s.form->Manager->setCurrentIndex(TForm1::ViewPage);
        s.open("large.qc");
        QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::EditPage));
        QVERIFY(veer->textSetAside());
        QCOMPARE(s.form->vardo->doc()->fileBytes(), large);
        s.form->Manager->setCurrentIndex(TForm1::ViewPage);
        QTRY_VERIFY(!veer->textSetAside());
        QCOMPARE(veer->doc()->fileBytes(), large);

        s.preview("other.qc");
        s.form->Manager->setCurrentIndex(TForm1::EditPage);
        QVERIFY(!veer->textSetAside());
    }

    void failedLoadsNeverWriteTheTextElsewhere()
    {
        Session s({{"a.qc", "A\r\n"}, {"b.qc", "B\r\n"}, {"gone.qc", "G\r\n"}});
        QVERIFY(s.form);
        s.open("a.qc");
        s.typeAtStart("x");

        // A preview of a file removed after the list was read keeps the old preview, its
        // border and the page in front.
        std::filesystem::remove(s.path("gone.qc"));
        const TextPane::Border border = s.form->veer->border();
        QVERIFY(consoleOf([&] { s.preview("gone.qc"); }).contains("Open fail!!: "));
        QCOMPARE(s.form->veer->wholeText(), QStringLiteral("A\r\n"));
        QCOMPARE(s.form->Manager->tabText(TForm1::ViewPage), QStringLiteral("a.qc"));
        QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::EditPage));
        QCOMPARE(s.form->veer->border(), border);

        // The failed preview no longer stops the autosave of the next switch.
        s.open("b.qc");
        QCOMPARE(s.disk("a.qc"), std::string("xA\r\n"));
        QCOMPARE(s.editorText(), std::string("B\r\n"));
        QCOMPARE(editedFile(*s.form), s.path("b.qc"));
        QVERIFY(s.errors.texts.isEmpty());
    }

    // A file that cannot be read changes nothing: no autosave, same text, file, page and captions.
    void failedOpenChangesNothing_data()
    {
        QTest::addColumn<int>("cause");
        QTest::addColumn<int>("reason");
        QTest::newRow("removed") << 0 << ENOENT;
        QTest::newRow("directory") << 1 << EISDIR;
        QTest::newRow("too large") << 2 << EFBIG;
        QTest::newRow("pipe") << 3 << 0;
    }
    void failedOpenChangesNothing()
    {
        QFETCH(int, cause);
        QFETCH(int, reason);
        Session s({{"a.qc", "A\r\n"}, {"b.qc", "B\r\n"}, {"c.qc", "C\r\n"}});
        QVERIFY(s.form);
        s.open("a.qc");
        s.typeAtStart("x");
        const std::string b = s.path("b.qc");
        std::filesystem::remove(b);
        if (cause == 1)
            s.tree.makeDirectory("b.qc");
        if (cause == 2) {
            s.tree.write("b.qc", "");
            std::filesystem::resize_file(b, TextPane::kCapacity + 1);
        }
        if (cause == 3)
            QCOMPARE(::mkfifo(b.c_str(), 0644), 0);

        QVERIFY(consoleOf([&] { s.open("b.qc"); }).contains("Load fail!!: "));
        QCOMPARE(s.errors.texts.size(), 1);
        QVERIFY(s.errors.texts[0].contains(displayText(b)));
        QVERIFY(s.errors.texts[0].contains(reason ? QString::fromLocal8Bit(std::strerror(reason))
                                                  : QStringLiteral("not a regular file")));
        QCOMPARE(s.disk("a.qc"), std::string("A\r\n"));
        QCOMPARE(s.editorText(), std::string("xA\r\n"));
        QCOMPARE(editedFile(*s.form), s.path("a.qc"));
        QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::EditPage));
        QCOMPARE(s.editCaption(), QStringLiteral("[ &Edit a.qc]"));
        QCOMPARE(s.form->Manager->tabText(TForm1::ViewPage), QStringLiteral("a.qc"));

        // The text still belongs to a.qc: the next switch writes it there.
        s.open("c.qc");
        QCOMPARE(s.disk("a.qc"), std::string("xA\r\n"));
        QCOMPARE(editedFile(*s.form), s.path("c.qc"));
    }

    void switchingAutosavesTheEditedFile()
    {
        const std::string a = "void() a =\r\n{\r\n};\r\n";
        Session s({{"a.qc", a}, {"b.qc", "b\nline"}});
        QVERIFY(s.form);
        s.open("a.qc");
        QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::EditPage));
        QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));
        QCOMPARE(editedFile(*s.form), s.path("a.qc"));
        QCOMPARE(s.disk("a.qc"), a);

        s.typeAtStart("x");
        const QString saved = consoleOf([&] { s.open("b.qc"); });
        QVERIFY(saved.contains(QString::fromStdString(":: Autosaved: " + s.path("a.qc"))));
        QCOMPARE(s.disk("a.qc"), "x" + a);
        QCOMPARE(s.disk("b.qc"), std::string("b\nline"));
        QCOMPARE(s.editorText(), std::string("b\r\nline"));
        QCOMPARE(s.editCaption(), QStringLiteral("b.qc"));

        // Opening the edited file again only loads it again; once changed, it is written back
        // with the line ends it has.
        QVERIFY(!consoleOf([&] { s.open("b.qc"); }).contains("Autosaved"));
        QCOMPARE(s.disk("b.qc"), std::string("b\nline"));
        s.typeAtStart("y");
        s.open("b.qc");
        QCOMPARE(s.disk("b.qc"), std::string("yb\nline"));

        // Unchecked autosave: the switch discards the changes.
        s.form->auto_->setChecked(false);
        s.typeAtStart("lost ");
        s.open("a.qc");
        QCOMPARE(s.disk("b.qc"), std::string("yb\nline"));
        QCOMPARE(s.editorText(), "x" + a);
        s.form->auto_->setChecked(true);

        // An emptied editor is never saved.
        s.clickEditor();
        s.key(Qt::Key_A, Qt::ControlModifier);
        s.key(Qt::Key_Delete);
        QVERIFY(s.form->vardo->wholeText().isEmpty());
        s.open("b.qc");
        QCOMPARE(s.disk("a.qc"), "x" + a);
        QCOMPARE(editedFile(*s.form), s.path("b.qc"));
    }

    void failedAutosaveStaysOnTheEditedFile()
    {
        Session s({{"a.qc", "A\r\n"}, {"b.qc", "B\r\n"}});
        QVERIFY(s.form);
        s.open("a.qc");
        s.typeAtStart("x");
        QVERIFY(::chmod(s.path("a.qc").c_str(), 0444) == 0);

        for (int attempt = 1; attempt <= 2; ++attempt) {
            QVERIFY(consoleOf([&] { s.open("b.qc"); }).contains("Autosaved fail!!: "));
            QCOMPARE(s.errors.texts.size(), attempt);
            QVERIFY(s.errors.texts.last().contains(displayText(s.path("a.qc"))));
            QVERIFY(s.errors.texts.last().contains(QString::fromLocal8Bit(std::strerror(EACCES))));
            QCOMPARE(s.editorText(), std::string("xA\r\n"));
            QCOMPARE(editedFile(*s.form), s.path("a.qc"));
            QCOMPARE(s.editCaption(), QStringLiteral("[ &Edit a.qc]"));
            QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::EditPage));
            QCOMPARE(s.disk("a.qc"), std::string("A\r\n"));
        }

        // Once the cause is mended, the next switch saves.
        QVERIFY(::chmod(s.path("a.qc").c_str(), 0644) == 0);
        s.open("b.qc");
        QCOMPARE(s.disk("a.qc"), std::string("xA\r\n"));
        QCOMPARE(s.editorText(), std::string("B\r\n"));
        QCOMPARE(editedFile(*s.form), s.path("b.qc"));

        // A file replaced by a FIFO (whose open for writing would wait for a reader for good)
        // or by a directory fails at once; the user may leave by unchecking autosave.
        s.typeAtStart("y");
        std::filesystem::remove(s.path("b.qc"));
        QCOMPARE(::mkfifo(s.path("b.qc").c_str(), 0644), 0);
        s.open("a.qc");
        std::filesystem::remove(s.path("b.qc"));
        s.tree.makeDirectory("b.qc");
        s.open("a.qc");
        QCOMPARE(s.errors.texts.size(), 4);
        for (const QString &text : s.errors.texts.mid(2)) {
            QVERIFY(text.contains(displayText(s.path("b.qc"))));
            QVERIFY2(text.contains("not a regular file"), qPrintable(text));
        }
        QCOMPARE(s.editorText(), std::string("yB\r\n"));
        QCOMPARE(editedFile(*s.form), s.path("b.qc"));

        s.form->auto_->setChecked(false);
        s.open("a.qc");
        QCOMPARE(s.errors.texts.size(), 4);
        QCOMPARE(s.editorText(), std::string("xA\r\n"));
        QCOMPARE(editedFile(*s.form), s.path("a.qc"));
        QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));
    }

    void textWithoutAFileIsDroppedOnlyWhenTheUserSaysSo()
    {
        Session s({{"a.qc", "A\r\n"}});
        QVERIFY(s.form);
        s.typeAtStart("notes");
        s.questions.answers = {Choice::Cancel};
        s.open("a.qc");
        QCOMPARE(s.questions.asked, QStringList{"Discard the text in the editor?"});
        QCOMPARE(s.editorText(), std::string("notes"));
        QVERIFY(editedFile(*s.form).empty());
        s.questions.answers = {Choice::Discard};
        s.open("a.qc");
        QCOMPARE(s.editorText(), std::string("A\r\n"));
        QCOMPARE(editedFile(*s.form), s.path("a.qc"));
    }

    void unchangedTextIsNeverWritten()
    {
        Session s({{"a.qc", "one\ntwo\r"}, {"b.qc", "B\r\n"}});
        QVERIFY(s.form);
        s.open("a.qc");
        const struct timespec before = modificationTime(s.path("a.qc"));
        s.typeAtStart("z");
        s.key(Qt::Key_Z, Qt::ControlModifier);
        s.key(Qt::Key_Down);
        QVERIFY(!consoleOf([&] { s.open("b.qc"); }).contains("Autosaved"));
        QCOMPARE(s.disk("a.qc"), std::string("one\ntwo\r"));
        const struct timespec after = modificationTime(s.path("a.qc"));
        QVERIFY(before.tv_sec == after.tv_sec && before.tv_nsec == after.tv_nsec);
        QCOMPARE(editedFile(*s.form), s.path("b.qc"));
        QVERIFY(s.questions.asked.isEmpty());
    }

    // What the switch does with the edited file when another program saved or removed it.
    void outsideChangesAreNeverOverwritten_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QByteArray>("diskA"); // "-" when absent
        QTest::addColumn<bool>("switched");
        const int none = int(Choice::Cancel);
        QTest::newRow("unedited, saved elsewhere") << false << false << none << false << QByteArray("out\r\n") << true;
        QTest::newRow("unedited, removed") << false << true << none << false << QByteArray("-") << true;
        QTest::newRow("edited, removed") << true << true << none << false << QByteArray("xA\r\n") << true;
        QTest::newRow("edited, overwrite") << true << false << int(Choice::Overwrite) << true << QByteArray("xA\r\n") << true;
        QTest::newRow("edited, discard") << true << false << int(Choice::DiscardMyEdits) << true << QByteArray("out\r\n") << true;
        QTest::newRow("edited, cancel") << true << false << int(Choice::Cancel) << true << QByteArray("out\r\n") << false;
    }
    void outsideChangesAreNeverOverwritten()
    {
        QFETCH(bool, edited);
        QFETCH(bool, removed);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(QByteArray, diskA);
        QFETCH(bool, switched);
        Session s({{"a.qc", "A\r\n"}, {"b.qc", "B\r\n"}});
        QVERIFY(s.form);
        s.open("a.qc");
        if (edited)
            s.typeAtStart("x");
        if (removed)
            std::filesystem::remove(s.path("a.qc"));
        else
            s.saveElsewhere("a.qc", "out\r\n");
        s.questions.answers = {Choice(answer)};

        s.open("b.qc");
        QCOMPARE(s.questions.asked, asked ? QStringList{kOverwriteA} : QStringList{});
        QCOMPARE(fileExists(s.path("a.qc")) ? QByteArray::fromStdString(s.disk("a.qc")) : QByteArray("-"), diskA);
        QCOMPARE(editedFile(*s.form), s.path(switched ? "b.qc" : "a.qc"));
        QCOMPARE(s.editorText(), switched ? std::string("B\r\n") : std::string("xA\r\n"));
        if (!switched) {
            QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::EditPage));
            QCOMPARE(s.editCaption(), QStringLiteral("[ &Edit a.qc]"));
        }
        QVERIFY(s.errors.texts.isEmpty());
    }

    void comingBackShowsWhatOthersSaved()
    {
        Session s({{"a.qc", "l0\r\nl1\r\nl2\r\nl3\r\n"}});
        QVERIFY(s.form);
        s.open("a.qc");
        s.clickEditor();
        s.key(Qt::Key_Down);
        s.key(Qt::Key_Down);
        s.key(Qt::Key_Right);
        const std::string saved = "L0\r\nL1\r\nL2\r\nL3\r\nvoid() added =\r\n{};\r\n";
        s.saveElsewhere("a.qc", saved);
        s.leaveAndComeBack();
        QCOMPARE(s.editorText(), saved);
        QCOMPARE(s.form->vardo->caretPosition().line, 2);
        QCOMPARE(s.form->vardo->caretPosition().column, 1);
        QCOMPARE(s.entries(), QStringList{"void() added ="});
        QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));

        // Edits are never replaced behind the user's back; the next switch asks.
        s.typeAtStart("x");
        s.saveElsewhere("a.qc", "again\r\n");
        s.leaveAndComeBack();
        QCOMPARE(s.editorText(), "x" + saved);
        QCOMPARE(s.disk("a.qc"), std::string("again\r\n"));
        QVERIFY(s.questions.asked.isEmpty());

        // Without edits, a double click on the same file shows the version on disk.
        s.key(Qt::Key_Z, Qt::ControlModifier);
        s.open("a.qc");
        QCOMPARE(s.editorText(), std::string("again\r\n"));
        QCOMPARE(s.disk("a.qc"), std::string("again\r\n"));
    }

    // Closing with `auto` unchecked: each changed pane is offered for saving, the editor first.
    void closingAsksBeforeDroppingEdits_data()
    {
        QTest::addColumn<int>("editor"); // 0 untouched, 1 typed, 2 emptied, 3 typed with no file
        QTest::addColumn<bool>("general");
        QTest::addColumn<int>("outside"); // 0 nothing, 1 a.qc saved elsewhere, 2 a.qc read-only
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("page");
        QTest::addColumn<QByteArray>("diskA");
        QTest::addColumn<QByteArray>("diskNotes");
        const QString saveA = QStringLiteral("Save changes to a.qc?");
        const QString saveNotes = QStringLiteral("Save changes to notes.txt?");
        const int save = int(Choice::Save), discard = int(Choice::Discard), cancel = int(Choice::Cancel);
        const QByteArray a("A\r\n"), notes("n\r\n");
        QTest::newRow("nothing changed") << 0 << false << 0 << QList<int>{} << QStringList{} << true << -1 << a << notes;
        QTest::newRow("save") << 1 << false << 0 << QList<int>{save} << QStringList{saveA} << true << -1 << QByteArray("xA\r\n") << notes;
        QTest::newRow("discard") << 1 << false << 0 << QList<int>{discard} << QStringList{saveA} << true << -1 << a << notes;
        QTest::newRow("cancel") << 1 << false << 0 << QList<int>{cancel} << QStringList{saveA} << false << 1 << a << notes;
        QTest::newRow("emptied") << 2 << false << 0 << QList<int>{save} << QStringList{saveA} << true << -1 << QByteArray() << notes;
        QTest::newRow("no file, cancel") << 3 << false << 0 << QList<int>{cancel}
                                         << QStringList{"Discard the text in the editor?"} << false << 1 << a << notes;
        QTest::newRow("no file, discard") << 3 << false << 0 << QList<int>{discard}
                                          << QStringList{"Discard the text in the editor?"} << true << -1 << a << notes;
        QTest::newRow("general only") << 0 << true << 0 << QList<int>{save} << QStringList{saveNotes} << true << -1 << a
                                      << QByteArray("yn\r\n");
        QTest::newRow("second cancelled") << 1 << true << 0 << QList<int>{save, cancel} << QStringList{saveA, saveNotes}
                                          << false << 0 << QByteArray("xA\r\n") << notes;
        QTest::newRow("saved elsewhere") << 1 << false << 1 << QList<int>{cancel} << QStringList{kOverwriteA} << false << 1
                                         << QByteArray("out") << notes;
        QTest::newRow("overwrite") << 1 << false << 1 << QList<int>{int(Choice::Overwrite)} << QStringList{kOverwriteA}
                                   << true << -1 << QByteArray("xA\r\n") << notes;
        QTest::newRow("write fails") << 1 << false << 2 << QList<int>{save} << QStringList{saveA} << false << 1 << a << notes;
    }
    void closingAsksBeforeDroppingEdits()
    {
        QFETCH(int, editor);
        QFETCH(bool, general);
        QFETCH(int, outside);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, asked);
        QFETCH(bool, closed);
        QFETCH(int, page);
        QFETCH(QByteArray, diskA);
        QFETCH(QByteArray, diskNotes);
        Session s({{"a.qc", "A\r\n"}, {"notes.txt", "n\r\n"}});
        QVERIFY(s.form);
        TForm1 &f = *s.form;
        f.auto_->setChecked(false);
        if (editor == 3) {
            s.typeAtStart("typed");
        } else if (editor > 0 || outside > 0) {
            s.open("a.qc");
            if (editor == 1)
                s.typeAtStart("x");
            if (editor == 2)
                f.vardo->selectAll();
            if (editor == 2)
                s.key(Qt::Key_Delete);
        }
        if (general) {
            f.TabbedNotebook1->setCurrentIndex(1);
            clickRow(f.listado, rowOf(f.listado, "notes.txt"));
            QTest::keyClick(f.test, Qt::Key_Home, Qt::ControlModifier);
            QTest::keyClicks(f.test, "y");
        }
        if (outside == 1)
            s.saveElsewhere("a.qc", "out");
        if (outside == 2)
            QCOMPARE(::chmod(s.path("a.qc").c_str(), 0444), 0);
        for (int answer : answers)
            s.questions.answers.push_back(Choice(answer));

        QCOMPARE(f.close(), closed);
        QCOMPARE(f.isVisible(), !closed);
        QCOMPARE(s.questions.asked, asked);
        if (page >= 0)
            QCOMPARE(f.Manager->currentIndex(), page);
        QCOMPARE(QByteArray::fromStdString(s.disk("a.qc")), diskA);
        QCOMPARE(QByteArray::fromStdString(s.disk("notes.txt")), diskNotes);
        QCOMPARE(s.errors.texts.size(), outside == 2 ? 1 : 0);
        if (outside == 2) {
            QVERIFY(s.errors.texts[0].contains(displayText(s.path("a.qc"))));
            QVERIFY(s.errors.texts[0].contains(QString::fromLocal8Bit(std::strerror(EACCES))));
        }
    }

    void fileWithLinesCutIsNeverAutosaved()
    {
        const std::string bytes = std::string(25000, 'q') + "\n";
        Session s({{"long.qc", bytes}, {"b.qc", "B\r\n"}});
        QVERIFY(s.form);
        s.open("long.qc");
        QCOMPARE(editedFile(*s.form), s.path("long.qc"));
        QVERIFY(s.form->vardo->doc()->isReadOnly() && s.form->vardo->isReadOnly());
        s.open("b.qc");
        QVERIFY(s.errors.texts.isEmpty());
        QCOMPARE(s.disk("long.qc"), bytes);
        QCOMPARE(editedFile(*s.form), s.path("b.qc"));
        QVERIFY(!s.form->vardo->isReadOnly());
    }

    // Esc during a long load leaves the window as it was before the load.
    void escDuringALongLoadChangesNothing()
    {
        Session s({{"a.qc", "A\r\n"},
                   {"big.qc", std::string(3000000, 'b')},
                   {"big2.qc", std::string(3000000, 'c')},
                   {"big3.qc", std::string(3000000, 'd')}});
        QVERIFY(s.form);
        s.open("a.qc");
        s.preview("a.qc");
        BusyLoad::setTiming(0, 0);
        const auto pressEsc = [&] {
            QCoreApplication::postEvent(s.form.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
        };
        pressEsc();
        QVERIFY(consoleOf([&] { s.preview("big.qc"); }).isEmpty());
        QCOMPARE(s.form->veer->wholeText(), QString("A\r\n"));
        QCOMPARE(s.form->Manager->tabText(TForm1::ViewPage), QString("a.qc"));

        // The tab never claims a change, and the text keeps its history.
        s.form->Manager->setCurrentIndex(TForm1::NavPage);
        QStringList captions;
        connect(s.form->vardo->document(), &QTextDocument::modificationChanged,
                [&] { captions << s.editCaption(); });
        pressEsc();
        QVERIFY(!consoleOf([&] { QVERIFY(!s.form->openForEdit(s.path("big2.qc"))); }).contains("fail"));
        QCOMPARE(captions, QStringList());
        QCOMPARE(s.editorText(), std::string("A\r\n"));
        s.form->auto_->setChecked(false);
        s.typeAtStart("x");
        pressEsc();
        QVERIFY(!s.form->openForEdit(s.path("big3.qc")));
        BusyLoad::setTiming(-1, -1);
        QCOMPARE(s.editorText(), std::string("xA\r\n"));
        s.form->vardo->undo();
        QCOMPARE(s.editorText(), std::string("A\r\n"));
        s.form->Manager->setCurrentIndex(TForm1::NavPage);
        QCOMPARE(editedFile(*s.form), s.path("a.qc"));
        QCOMPARE(s.editCaption(), QString("a.qc"));
        QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::NavPage));
        QVERIFY(s.errors.texts.isEmpty());
    }

    // Ctrl+S writes the editor whatever "autosave edit" says, even emptied, says so beside the
    // caret status and clears the mark; on the Nav page it is the button of the general pane.
    void ctrlSSavesThePaneInFront()
    {
        Session s({{"a.qc", "A\n"}, {"notes.txt", "n\n"}});
        QVERIFY(s.form);
        const auto save = [&] { return consoleOf([&] { QTest::keyClick(s.form.get(), Qt::Key_S, Qt::ControlModifier); }); };
        const auto told = [&] { return s.form->saveStatus->text(); };
        // Hidden while it has nothing to say: the caret status is drawn up to it.
        QVERIFY(s.form->saveStatus->isHidden());
        save();
        QVERIFY(!s.form->saveStatus->isHidden());
        QCOMPARE(told(), QString("No file behind this text."));
        s.open("a.qc");
        s.form->auto_->setChecked(false);
        QVERIFY(save().isEmpty());
        QCOMPARE(told(), QString("a.qc has no changes."));
        s.typeAtStart("x");
        QCOMPARE(save(), QString::fromStdString(":: Saved: " + s.path("a.qc") + "\n"));
        QCOMPARE(told(), QString("Saved a.qc."));
        QCOMPARE(s.disk("a.qc"), std::string("xA\n"));
        QCOMPARE(s.editCaption(), QString("a.qc"));
        QCOMPARE(s.status(), QString("[1/2] - "));
        QTest::keyClick(s.form->vardo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(s.form->vardo, Qt::Key_Delete);
        save();
        QCOMPARE(s.disk("a.qc"), std::string());

        s.form->TabbedNotebook1->setCurrentIndex(1);
        clickRow(s.form->listado, rowOf(s.form->listado, "notes.txt"));
        QTest::keyClicks(s.form->test, "more ");
        QVERIFY(save().isEmpty());
        QCOMPARE(readFile(s.path("notes.txt")), std::string("more n\n"));
    }

    void caretStatusAndModificationMark()
    {
        const std::string text = "l1\r\nl2\r\nl3\r\n";
        Session s({{"a.qc", text}});
        QVERIFY(s.form);
        TextPane *vardo = s.form->vardo;
        QTest::mouseClick(vardo->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
        QCOMPARE(s.status(), QStringLiteral("[1/1] - "));

        s.open("a.qc");
        // A click shows where it placed the caret.
        QTextCursor third(vardo->document()->findBlockByNumber(2));
        QTest::mouseClick(vardo->viewport(), Qt::LeftButton, {}, vardo->cursorRect(third).center());
        QCOMPARE(s.status(), QStringLiteral("[3/4] - "));
        // The status follows every key as soon as it has acted.
        s.key(Qt::Key_Up);
        QCOMPARE(s.status(), QStringLiteral("[2/4] - "));
        s.key(Qt::Key_Down);
        QCOMPARE(s.status(), QStringLiteral("[3/4] - "));
        s.key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(s.status(), QStringLiteral("[4/4] - "));

        // Keys that produce no character leave the tab alone.
        s.key(Qt::Key_Delete);
        s.key(Qt::Key_F5);
        s.key(Qt::Key_Left);
        QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));
        // Backspace where it deletes nothing changes nothing, so it does not mark.
        s.key(Qt::Key_Home, Qt::ControlModifier);
        s.key(Qt::Key_Backspace);
        QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));
        QCOMPARE(s.editorText(), text);
        // An edit marks; undoing it back to the loaded text clears the mark, as does a write.
        s.key(Qt::Key_Z);
        QCOMPARE(s.editCaption(), QStringLiteral("[ &Edit a.qc]"));
        s.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));
        QCOMPARE(s.editorText(), text);
        s.key(Qt::Key_Z);
        QVERIFY(s.form->editing->autosave());
        QCOMPARE(s.disk("a.qc"), "z" + text);
        QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));

        for (Qt::Key marking : {Qt::Key_Return, Qt::Key_Q}) {
            s.open("a.qc");
            QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));
            s.clickEditor();
            s.key(marking);
            QCOMPARE(s.editCaption(), QStringLiteral("[ &Edit a.qc]"));
        }

        // An open shows the new file's position at once; lines added and removed count at once.
        s.form->auto_->setChecked(false);
        s.tree.write("a.qc", text);
        s.key(Qt::Key_End, Qt::ControlModifier);
        s.open("a.qc");
        QCOMPARE(s.status(), QStringLiteral("[1/4] - "));
        s.key(Qt::Key_End, Qt::ControlModifier);
        s.key(Qt::Key_Return);
        QCOMPARE(s.status(), QStringLiteral("[5/5] - "));
        s.key(Qt::Key_Backspace);
        QCOMPARE(s.status(), QStringLiteral("[4/4] - "));
        s.key(Qt::Key_X);
        QCOMPARE(s.status(), QStringLiteral("[4/5] - ")); // the last line is no longer empty
    }

    void functionIndexJumpsAndRebuilds()
    {
        std::string text = "// VOID() FIRST = only in capitals here\r\n"
                           "void() first =\r\n{\r\n};\r\n"
                           "void() proto;\r\n"
                           "float(entity e) second = { return 1; };\r\n";
        for (int i = 0; i < 300; ++i)
            text += "// filler\r\n";
        text += "    void()      third =            // the initialization\r\n"
                "void() twice = {};\r\nvoid() twice = {};\r\n";
        for (int i = 0; i < 100; ++i)
            text += "// more filler\r\n";
        Session s({{"a.qc", text}});
        QVERIFY(s.form);
        TForm1 &f = *s.form;
        s.open("a.qc");
        const QStringList index = {"void() first =", "float(entity e) second =", "    void()      third =",
                                   "void() twice =", "void() twice ="};
        QCOMPARE(s.entries(), index);
        QCOMPARE(f.com->currentIndex(), -1);

        // A choice jumps, then rebuilds the list with nothing chosen.
        s.choose(2);
        QCOMPARE(s.selected(), index[2]);
        QCOMPARE(f.vardo->caretPosition().line, 306);
        // The whole line in view, in the upper third, and the status on it.
        const QRect line = f.vardo->cursorRect();
        QVERIFY(f.vardo->viewport()->rect().contains(line));
        QVERIFY(line.top() <= f.vardo->viewport()->height() / 3);
        QCOMPARE(s.status(), QStringLiteral("[307/%1] - ").arg(f.vardo->lineCount() + 1));
        QVERIFY(f.vardo->hasFocus());
        QCOMPARE(s.entries(), index);
        QCOMPARE(f.com->currentIndex(), -1);
        QVERIFY(f.com->currentText().isEmpty());

        // The find ignores case, and duplicates lead to the first occurrence.
        s.choose(0);
        QCOMPARE(s.selected(), QStringLiteral("VOID() FIRST ="));
        s.choose(4);
        QCOMPARE(f.vardo->caretPosition().line, 307);

        // Arrow keys and Enter in the open drop-down make a choice too.
        f.com->showPopup();
        QTest::keyClick(f.com->view(), Qt::Key_Home);
        QTest::keyClick(f.com->view(), Qt::Key_Down);
        QTest::keyClick(f.com->view(), Qt::Key_Return);
        QCOMPARE(s.selected(), index[1]);
        QCOMPARE(f.com->currentIndex(), -1);

        // Entering the list by a click rebuilds it before its drop-down shows.
        s.key(Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(f.vardo, "void() added =");
        QTest::mouseClick(f.com, Qt::LeftButton);
        QTRY_VERIFY(f.com->view()->isVisible());
        QCOMPARE(s.entries(), index + QStringList{"void() added ="});
        s.choose(5);
        QCOMPARE(s.selected(), QStringLiteral("void() added ="));

        // Closed and without a chosen text, Enter does nothing; an arrow key chooses.
        QTest::mouseClick(f.com, Qt::LeftButton);
        QTRY_VERIFY(f.com->view()->isVisible());
        QTest::keyClick(f.com->view(), Qt::Key_Escape);
        QTRY_VERIFY(f.com->hasFocus());
        QTest::keyClick(f.com, Qt::Key_Return);
        QVERIFY(f.com->hasFocus());
        QCOMPARE(s.selected(), QStringLiteral("void() added ="));
        QTest::keyClick(f.com, Qt::Key_Down);
        QVERIFY(f.vardo->hasFocus());
        QCOMPARE(s.selected(), QStringLiteral("VOID() FIRST ="));

        // An entry that no longer occurs only moves the focus.
        s.key(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(f.vardo, "gone");
        f.com->showPopup();
        QTest::keyClick(f.com->view(), Qt::Key_Home);
        QTest::keyClick(f.com->view(), Qt::Key_Down);
        QTest::keyClick(f.com->view(), Qt::Key_Return);
        QVERIFY(f.vardo->hasFocus());
        QVERIFY(s.selected().isEmpty());
        QCOMPARE(s.editorText(), std::string("gone"));
        QCOMPARE(f.com->count(), 0);
    }

    // A text larger than a slice of a copy is indexed after the double click returns, with the
    // same rows; a rebuild overtaken by a newer one never shows.
    void largeTextIsIndexedInTheBackground()
    {
        std::string text;
        for (int i = 0; text.size() < 2 * TextCopy::kSlice; ++i)
            text += i % 100 ? "// a line of comment\r\n" : "void() large_" + std::to_string(i / 100) + " = {};\r\n";
        Session s({{"large.qc", text}});
        QVERIFY(s.form);
        TForm1 &f = *s.form;
        QSignalSpy rebuilt(f.functionIndex, &IndexController::rebuilt);
        s.open("large.qc");
        QCOMPARE(rebuilt.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(rebuilt.count(), 1, 20000);
        QStringList expected;
        for (const std::u16string &entry : edit::scanFunctionIndex(u16view(f.vardo->document()->toRawText())))
            expected << fromU16(entry);
        QCOMPARE(s.entries(), expected);
        QCOMPARE(f.com->itemData(7, IndexComboBox::kNameRole).toString(), QStringLiteral("large_7"));
        QCOMPARE(f.com->currentIndex(), -1);

        s.typeAtStart("void() added = ");
        f.functionIndex->rebuild();
        f.functionIndex->rebuild();
        QTRY_COMPARE_WITH_TIMEOUT(rebuilt.count(), 2, 20000);
        QTest::qWait(100);
        QCOMPARE(rebuilt.count(), 2);
        expected[0] = QStringLiteral("void() added =");
        QCOMPARE(s.entries(), expected);
    }

    // A long index: a drop-down of limited height, filtered by the names typed into it, and
    // the definition the caret is under named while nothing is chosen.
    void longIndexScrollsFiltersAndNamesTheCaretsFunction()
    {
        std::string text;
        for (int i = 0; i < 130; ++i)
            text += "void() boss_sh" + std::to_string(i) + " =\r\n{\r\n\tlocal float x;\r\n};\r\n";
        Session s({{"boss.qc", text}});
        QVERIFY(s.form);
        TForm1 &f = *s.form;
        s.open("boss.qc");
        QCOMPARE(f.com->count(), 130);
        QVERIFY(!f.com->isEditable());

        f.com->showPopup();
        auto *view = qobject_cast<QListView *>(f.com->view());
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        QVERIFY(view->verticalScrollBar()->isVisible());
        QVERIFY(view->viewport()->height() <= (IndexComboBox::kShownRows + 1) * view->sizeHintForRow(0));
        const auto shown = [&] {
            QStringList rows;
            for (int row = 0; row < f.com->count(); ++row)
                if (!view->isRowHidden(row))
                    rows << f.com->itemText(row);
            return rows;
        };
        // By the name, wherever in it, whatever the case; Backspace takes a letter back.
        QTest::keyClicks(view, "SH12");
        QCOMPARE(f.com->filter(), QStringLiteral("SH12"));
        QCOMPARE(shown().size(), 11);
        QCOMPARE(shown().first(), QStringLiteral("void() boss_sh12 ="));
        QTest::keyClicks(view, "9");
        QCOMPARE(shown(), QStringList{"void() boss_sh129 ="});
        // Nothing left: Enter chooses nothing.
        QTest::keyClicks(view, "x");
        QVERIFY(shown().isEmpty());
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(s.selected().isEmpty());
        QTest::keyClick(view, Qt::Key_Backspace);
        QTest::keyClick(view, Qt::Key_Backspace);
        QCOMPARE(shown().size(), 11);
        QTest::keyClick(view, Qt::Key_Up);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(s.selected(), QStringLiteral("void() boss_sh128 ="));
        QVERIFY(f.com->filter().isEmpty());
        QCOMPARE(shown().size(), 130);

        // The caret's definition as the placeholder; nothing is chosen.
        s.key(Qt::Key_Down);
        QTRY_COMPARE(f.com->placeholderText(), QStringLiteral("void() boss_sh128 ="));
        s.key(Qt::Key_Home, Qt::ControlModifier);
        QTRY_COMPARE(f.com->placeholderText(), QStringLiteral("void() boss_sh0 ="));
        QCOMPARE(f.com->currentIndex(), -1);
        QVERIFY(f.com->currentText().isEmpty());
    }
};

QTEST_MAIN(Editing)
#include "tst_editing.moc"
