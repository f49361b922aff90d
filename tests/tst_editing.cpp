// The editing workflow driven through the real widgets: preview, open-for-edit with autosave,
// caret status, the modification mark, and the function index in `com`.
#include "widgettesting.h"

#include "app/notebook.h"
#include "app/sharedstate.h"
#include "base/qtext.h"
#include "edit/indexcombobox.h"
#include "nav/filelistbox.h"
#include "panes/busyload.h"
#include "panes/textpane.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
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
};

} // namespace

class Editing : public QObject {
    Q_OBJECT

private slots:
    void previewShowsTheFileAndTellsWhetherItIsEdited()
    {
        Session s({{"a.qc", "alpha\r\n"}, {"b.qc", "beta\n"}});
        QVERIFY(s.form);
        s.preview("a.qc");
        QCOMPARE(s.form->veer->wholeText(), QStringLiteral("alpha\r\n"));
        QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::ViewPage));
        QCOMPARE(s.form->Manager->tabText(TForm1::ViewPage), QStringLiteral("a.qc"));
        QCOMPARE(s.form->veer->border(), TextPane::Border::None);
        QVERIFY(!LoadFailed);

        s.open("a.qc");
        s.preview("a.qc");
        QCOMPARE(s.form->veer->border(), TextPane::Border::Single);
        s.preview("b.qc");
        QCOMPARE(s.form->veer->wholeText(), QStringLiteral("beta\r\n"));
        QCOMPARE(s.form->veer->border(), TextPane::Border::None);
        QCOMPARE(s.form->Manager->tabText(TForm1::ViewPage), QStringLiteral("b.qc"));
    }

    void failedLoadsNeverWriteTheTextElsewhere()
    {
        Session s({{"a.qc", "A\r\n"}, {"b.qc", "B\r\n"}, {"gone.qc", "G\r\n"}});
        QVERIFY(s.form);
        s.open("a.qc");
        s.typeAtStart("x");

        // A preview of a file removed after the list was read keeps the old preview.
        std::filesystem::remove(s.path("gone.qc"));
        QVERIFY(consoleOf([&] { s.preview("gone.qc"); }).contains("Open fail!!: "));
        QCOMPARE(s.form->veer->wholeText(), QStringLiteral("A\r\n"));
        QCOMPARE(s.form->Manager->tabText(TForm1::ViewPage), QStringLiteral("a.qc"));
        QVERIFY(LoadFailed);

        // Its double click previews (and fails) again, so the autosave is skipped; the load fails.
        QVERIFY(consoleOf([&] { s.open("gone.qc"); }).contains("Load fail!!: "));
        QCOMPARE(s.disk("a.qc"), std::string("A\r\n"));
        QCOMPARE(s.editorText(), std::string("xA\r\n"));
        QVERIFY(EditFile.empty());
        QVERIFY(LoadFailed);

        // With no file being edited, the next switch writes nothing.
        s.open("b.qc");
        QCOMPARE(s.disk("a.qc"), std::string("A\r\n"));
        QCOMPARE(s.disk("b.qc"), std::string("B\r\n"));
        QCOMPARE(s.editorText(), std::string("B\r\n"));
        QCOMPARE(EditFile, s.path("b.qc"));

        // A load that fails after a good preview still autosaves first.
        s.typeAtStart("y");
        const QPoint at = s.form->qclista->visualItemRect(s.form->qclista->item(s.row("a.qc"))).center();
        QTest::mouseClick(s.form->qclista->viewport(), Qt::LeftButton, {}, at);
        std::filesystem::remove(s.path("a.qc"));
        QTest::mouseDClick(s.form->qclista->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(s.disk("b.qc"), std::string("yB\r\n"));
        QCOMPARE(s.editorText(), std::string("yB\r\n"));
        QVERIFY(EditFile.empty());
        QVERIFY(!fileExists(s.path("a.qc")));
        QVERIFY(s.errors.texts.isEmpty());
    }

    void switchingAutosavesTheEditedFile()
    {
        const std::string a = "void() a =\r\n{\r\n};\r\n";
        Session s({{"a.qc", a}, {"b.qc", "b\nline"}});
        QVERIFY(s.form);
        s.open("a.qc");
        QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::EditPage));
        QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));
        QCOMPARE(EditFile, s.path("a.qc"));
        QCOMPARE(s.disk("a.qc"), a);

        s.typeAtStart("x");
        const QString saved = consoleOf([&] { s.open("b.qc"); });
        QVERIFY(saved.contains(QString::fromStdString(":: Autosaved: " + s.path("a.qc"))));
        QCOMPARE(s.disk("a.qc"), "x" + a);
        QCOMPARE(s.disk("b.qc"), std::string("b\nline"));
        QCOMPARE(s.editorText(), std::string("b\r\nline"));
        QCOMPARE(s.editCaption(), QStringLiteral("b.qc"));

        // Opening the edited file again writes it back, with CR LF line ends.
        s.open("b.qc");
        QCOMPARE(s.disk("b.qc"), std::string("b\r\nline"));

        // Unchecked autosave: the switch discards the changes.
        s.form->auto_->setChecked(false);
        s.typeAtStart("lost ");
        s.open("a.qc");
        QCOMPARE(s.disk("b.qc"), std::string("b\r\nline"));
        QCOMPARE(s.editorText(), "x" + a);
        s.form->auto_->setChecked(true);

        // An emptied editor is never saved.
        s.clickEditor();
        s.key(Qt::Key_A, Qt::ControlModifier);
        s.key(Qt::Key_Delete);
        QVERIFY(s.form->vardo->wholeText().isEmpty());
        s.open("b.qc");
        QCOMPARE(s.disk("a.qc"), "x" + a);
        QCOMPARE(EditFile, s.path("b.qc"));
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
            QCOMPARE(EditFile, s.path("a.qc"));
            QCOMPARE(s.editCaption(), QStringLiteral("[ &Edit a.qc]"));
            QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::EditPage));
            QCOMPARE(s.disk("a.qc"), std::string("A\r\n"));
            QVERIFY(LoadFailed);
        }

        // Once the cause is mended, the next switch saves.
        QVERIFY(::chmod(s.path("a.qc").c_str(), 0644) == 0);
        s.open("b.qc");
        QCOMPARE(s.disk("a.qc"), std::string("xA\r\n"));
        QCOMPARE(s.editorText(), std::string("B\r\n"));
        QCOMPARE(EditFile, s.path("b.qc"));

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
        QCOMPARE(EditFile, s.path("b.qc"));

        s.form->auto_->setChecked(false);
        s.open("a.qc");
        QCOMPARE(s.errors.texts.size(), 4);
        QCOMPARE(s.editorText(), std::string("xA\r\n"));
        QCOMPARE(EditFile, s.path("a.qc"));
        QCOMPARE(s.editCaption(), QStringLiteral("a.qc"));
    }

    void fileWithLinesCutIsNeverAutosaved()
    {
        const std::string bytes = std::string(25000, 'q') + "\n";
        Session s({{"long.qc", bytes}, {"b.qc", "B\r\n"}});
        QVERIFY(s.form);
        s.open("long.qc");
        QCOMPARE(EditFile, s.path("long.qc"));
        QVERIFY(s.form->vardo->isShownReadOnly() && s.form->vardo->isReadOnly());
        s.open("b.qc");
        QVERIFY(s.errors.texts.isEmpty());
        QCOMPARE(s.disk("long.qc"), bytes);
        QCOMPARE(EditFile, s.path("b.qc"));
        QVERIFY(!s.form->vardo->isReadOnly());
    }

    // Esc during a long load leaves the window as it was before the load.
    void escDuringALongLoadChangesNothing()
    {
        Session s({{"a.qc", "A\r\n"}, {"big.qc", std::string(3000000, 'b')}, {"big2.qc", std::string(3000000, 'c')}});
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

        s.form->Manager->setCurrentIndex(TForm1::NavPage);
        pressEsc();
        QVERIFY(!consoleOf([&] { QVERIFY(!s.form->OpenForEdit(s.path("big2.qc"))); }).contains("fail"));
        BusyLoad::setTiming(-1, -1);
        QCOMPARE(s.editorText(), std::string("A\r\n"));
        QCOMPARE(EditFile, s.path("a.qc"));
        QCOMPARE(s.editCaption(), QString("a.qc"));
        QCOMPARE(s.form->Manager->currentIndex(), int(TForm1::NavPage));
        QVERIFY(!LoadFailed && s.errors.texts.isEmpty());
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
        // Backspace marks even where it deletes nothing.
        s.key(Qt::Key_Home, Qt::ControlModifier);
        s.key(Qt::Key_Backspace);
        QCOMPARE(s.editCaption(), QStringLiteral("[ &Edit a.qc]"));
        QCOMPARE(s.editorText(), text);

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
};

QTEST_MAIN(Editing)
#include "tst_editing.moc"
