// The project's symbols in the window: go to definition into another file and back, the uses
// of a name, hover help for a builtin, completion, and an index that follows the typing.
#include "widgettesting.h"

#include "core/files/fileio.h"
#include "lists/directorylistbox.h"
#include "lists/filelistbox.h"
#include "lists/outputlist.h"
#include "panes/textpane.h"
#include "symbols/projectsymbols.h"
#include "symbols/symbolnavigator.h"
#include "ui/notebook.h"

#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <optional>

using namespace vardo;
using namespace vardo::testing;

namespace {

const char *const kDefs = "// The engine's functions\r\n"
                          "void(vector ang) makevectors = #1;\r\n"
                          ".float health;\r\n"
                          "void() main;\r\n"
                          "float maxhealth = 100;\r\n"
                          "void() main =\r\n"
                          "{\r\n"
                          "};\r\n";
const char *const kWorld = "void() worldspawn =\r\n"
                           "{\r\n"
                           "\tlocal float mark;\r\n"
                           "\tmain();\r\n"
                           "\tself.health = maxhealth;\r\n"
                           "};\r\n"
                           "float twice;\r\n";
const char *const kOther = "float twice;\r\n$frame shockb1\r\n"; // a second definition of twice

struct Session {
    CurrentDirectoryGuard guard;
    TempTree tree;
    ErrorBoxRecorder errors;
    std::unique_ptr<TForm1> form;

    Session()
    {
        tree.write("progs.src", "progs.dat\r\ndefs.qc\r\nworld.qc\r\nother.qc\r\n");
        tree.write("defs.qc", kDefs);
        tree.write("world.qc", kWorld);
        tree.write("other.qc", kOther);
        form = startForm(tree.path());
        if (form) {
            form->activateWindow();
            (void)QTest::qWaitForWindowActive(form.get());
        }
    }
    ProjectSymbols &symbols() const { return form->symbols->symbols(); }
    bool indexed() const { return symbols().index().fileCount() == 3; }
    void open(const char *name) { doubleClickRow(form->qclista, rowOf(form->qclista, QString::fromLatin1(name))); }
    // Puts the caret on a line (from 0) and column of the editor.
    void caret(int line, int column)
    {
        QTextCursor cursor(form->vardo->document()->findBlockByNumber(line));
        cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
        form->vardo->setTextCursor(cursor);
        form->vardo->setFocus();
    }
    // The rows of the list of choices shown; empty when none is.
    QStringList choices() const
    {
        QStringList rows;
        if (const QListView *list = form->symbols->choices())
            for (int i = 0; i < list->model()->rowCount(); ++i)
                rows << list->model()->index(i, 0).data().toString();
        return rows;
    }
    // What the rows of the list of choices say their names are.
    QStringList details() const
    {
        QStringList rows;
        if (const QListView *list = form->symbols->choices())
            for (int i = 0; i < list->model()->rowCount(); ++i)
                rows << list->model()->index(i, 0).data(SymbolNavigator::kDetailRole).toString();
        return rows;
    }
    int caretLine() const { return form->vardo->textCursor().blockNumber(); }
    QString selected() const { return form->vardo->textCursor().selectedText(); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(form->vardo, key, modifiers); }
};

} // namespace

class Symbols : public QObject {
    Q_OBJECT

    // Every case starts in the window on the project, once its index has landed.
    std::unique_ptr<Session> session_;

private slots:
    void init()
    {
        session_ = std::make_unique<Session>();
        QVERIFY(session_->form);
        QTRY_VERIFY(session_->indexed());
    }
    void cleanup() { session_.reset(); }

    void definitionInAnotherFileAutosavesAndComesBack()
    {
        Session &s = *session_;
        s.open("world.qc");
        s.caret(0, 0);
        QTest::keyClicks(s.form->vardo, "// edited");
        s.key(Qt::Key_Return);
        s.caret(4, 2); // on "main" in "main();"
        s.key(Qt::Key_F12);

        QCOMPARE(editedFile(*s.form), s.tree / "defs.qc");
        // The body wins over the prototype, and the name is selected.
        QCOMPARE(s.caretLine(), 5);
        QCOMPARE(s.selected(), QStringLiteral("main"));
        QVERIFY(readFile(s.tree / "world.qc").starts_with("// edited\r\n"));
        QCOMPARE(s.form->qclista->selectedFilePath(), s.tree / "defs.qc");

        s.key(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(editedFile(*s.form), s.tree / "world.qc");
        QCOMPARE(s.caretLine(), 4);
        s.key(Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(editedFile(*s.form), s.tree / "defs.qc");
        QCOMPARE(s.caretLine(), 5);
        QVERIFY(s.errors.texts.isEmpty());
    }

    void severalDefinitionsOfferAShortList()
    {
        Session &s = *session_;
        s.open("world.qc");
        s.caret(6, 7);
        s.key(Qt::Key_F12);
        QListView *choices = s.form->symbols->choices();
        QVERIFY(choices);
        QCOMPARE(s.choices().size(), 2);
        QCOMPARE(s.choices()[1], QStringLiteral("other.qc:1: float twice"));
        QTest::keyClick(choices, Qt::Key_Down);
        QTest::keyClick(choices, Qt::Key_Return);
        QVERIFY(!s.form->symbols->choices());
        QCOMPARE(editedFile(*s.form), s.tree / "other.qc");
        QCOMPARE(s.selected(), QStringLiteral("twice"));
    }

    // A list of definitions shown after a completion's list closed without Esc (another
    // window took the focus) is no completion: typed keys do not edit, and Enter takes a row.
    void aListOfDefinitionsIsNeverACompletion()
    {
        Session &s = *session_;
        s.open("world.qc");
        s.caret(6, 0);
        s.key(Qt::Key_Space, Qt::ControlModifier);
        QListView *choices = s.form->symbols->choices();
        QVERIFY(choices);
        choices->close(); // as the toolkit closes a popup when the window loses the focus
        QVERIFY(!s.form->symbols->choices());
        s.caret(6, 11); // after "twice", defined here and in other.qc
        s.key(Qt::Key_F12);
        choices = s.form->symbols->choices();
        QVERIFY(choices);
        QCOMPARE(s.choices().size(), 2);
        QTest::keyClick(choices, Qt::Key_Backspace);
        QTest::keyClick(choices, Qt::Key_Return);
        QVERIFY(!s.form->symbols->choices());
        QCOMPARE(s.form->vardo->document()->findBlockByNumber(6).text(), QStringLiteral("float twice;"));
        QCOMPARE(editedFile(*s.form), s.tree / "world.qc");
        QCOMPARE(s.caretLine(), 6);
        QCOMPARE(s.selected(), QStringLiteral("twice"));
        QVERIFY(s.errors.texts.isEmpty());
    }

    void theIndexFollowsTheTypingBeforeAnySave()
    {
        Session &s = *session_;
        s.open("world.qc");
        s.caret(0, 0);
        QTest::keyClicks(s.form->vardo, "void() fresh = {};");
        s.key(Qt::Key_Return);
        QTest::keyClicks(s.form->vardo, "fresh();");
        s.key(Qt::Key_Return);
        // After a pause in typing the index catches up by itself, off the window's thread.
        QTRY_COMPARE(s.symbols().index().definitions("fresh").size(), std::size_t(1));
        QTest::keyClicks(s.form->vardo, "void() fresher = {};");
        s.caret(1, 2);
        s.key(Qt::Key_F12);
        QCOMPARE(editedFile(*s.form), s.tree / "world.qc");
        QCOMPARE(s.caretLine(), 0);
        QCOMPARE(s.selected(), QStringLiteral("fresh"));
        QCOMPARE(readFile(s.tree / "world.qc"), std::string(kWorld));
    }

    // A file opened as the disk has it is not scanned again: the build has read it. Typed and
    // undone, it is the disk's text again, but the index holds the typed one until it is.
    void anOpenedFileIsScannedOnlyOnceTypedInto()
    {
        Session &s = *session_;
        QSignalSpy landed(&s.symbols(), &ProjectSymbols::backgroundWorkLanded);
        s.open("world.qc");
        QTest::qWait(600); // past the pause after the load's change of text
        QVERIFY(!s.symbols().backgroundUpdatePending());
        QCOMPARE(landed.count(), 0);
        s.caret(0, 0);
        QTest::keyClicks(s.form->vardo, "float typed;");
        QTRY_COMPARE(s.symbols().index().definitions("typed").size(), std::size_t(1));
        while (s.form->vardo->document()->isUndoAvailable())
            s.form->vardo->undo();
        QTRY_VERIFY(s.symbols().index().definitions("typed").empty());
    }

    void aNewerEditorTextWinsOverOneStillBeingScanned()
    {
        Session &s = *session_;
        const std::string world = s.tree / "world.qc";
        QSignalSpy scans(&s.symbols(), &ProjectSymbols::backgroundWorkLanded);
        s.symbols().updateFromEditorInBackground(world, QStringLiteral("float older;"));
        s.symbols().updateFromEditor(world, QStringLiteral("float newer;\u2029float later;"));
        QVERIFY(!s.symbols().backgroundUpdatePending());
        // The older text's scan comes back after the newer text landed.
        QTRY_VERIFY(scans.count() >= 1);
        QVERIFY(s.symbols().index().definitions("older").empty());
        QCOMPARE(s.symbols().index().definitions("later").size(), std::size_t(1));
    }

    // F12 in a file too large to scan while the user waits goes by the last finished index; the
    // newest lines are scanned in the background and count once they land.
    void aLargeEditedFileIsScannedInTheBackground()
    {
        Session &s = *session_;
        std::string large = "float twice;\r\n";
        while (large.size() < 200'000)
            large += "float filler; // a line to make the file too large to scan at once\r\n";
        s.tree.write("other.qc", large);
        QTRY_VERIFY(!s.symbols().index().definitions("filler").empty());
        s.open("other.qc");
        s.caret(0, 0);
        QTest::keyClicks(s.form->vardo, "void() fresh = {};");
        s.key(Qt::Key_Return);
        QTest::keyClicks(s.form->vardo, "fresh();");
        s.caret(1, 2);
        s.key(Qt::Key_F12);
        QVERIFY(s.symbols().backgroundUpdatePending());
        QVERIFY(s.symbols().index().definitions("fresh").empty());
        QCOMPARE(s.caretLine(), 1);
        QTRY_COMPARE(s.symbols().index().definitions("fresh").size(), std::size_t(1));
        s.key(Qt::Key_F12);
        QCOMPARE(s.caretLine(), 0);
        QCOMPARE(s.selected(), QStringLiteral("fresh"));
    }

    void usesOfANameAcrossTheProject()
    {
        Session &s = *session_;
        s.open("defs.qc");
        s.caret(4, 8); // on "maxhealth"
        s.key(Qt::Key_F12, Qt::ShiftModifier);
        QVERIFY(s.form->output->isVisible());
        QCOMPARE(s.form->output->heading(), QStringLiteral("2 uses of maxhealth"));
        QCOMPARE(s.form->output->resultRows(), 2);
        QCOMPARE(s.form->output->resultRow(0).text, QStringLiteral("defs.qc:5: float maxhealth = 100;"));
        QCOMPARE(s.form->output->resultRow(1).text, QStringLiteral("world.qc:5: self.health = maxhealth;"));
        // The name is marked in the row, which is in the editor's face.
        const QModelIndex world = s.form->output->model()->index(2, 0);
        QCOMPARE(world.data(OutputList::kMarkRole).toPoint(),
                 QPoint(world.data().toString().indexOf("maxhealth"), 9));
        QCOMPARE(s.form->output->font().family(), s.form->vardo->font().family());
        // F4 goes from use to use, into another file as a definition does, selecting the name.
        QTest::keyClick(s.form->vardo, Qt::Key_F4);
        QCOMPARE(editedFile(*s.form), s.tree / "defs.qc");
        QCOMPARE(s.caretLine(), 4);
        QCOMPARE(s.selected(), QStringLiteral("maxhealth"));
        QTest::keyClick(s.form->vardo, Qt::Key_F4);
        QCOMPARE(editedFile(*s.form), s.tree / "world.qc");
        QCOMPARE(s.caretLine(), 4);
        QCOMPARE(s.selected(), QStringLiteral("maxhealth"));
        // Alt+Left comes back from a jump of the list too.
        s.key(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(editedFile(*s.form), s.tree / "defs.qc");
        QCOMPARE(s.caretLine(), 4);

        // Another project's folder: the uses go (a folder below this one is still this project).
        const TempTree elsewhere;
        s.form->dir->changeDirectory(elsewhere.path());
        QVERIFY(s.form->output->isHidden());
        QCOMPARE(s.form->output->resultRows(), 0);
    }

    void writesOfProjectFilesReachTheIndex()
    {
        Session &s = *session_;
        QVERIFY(s.symbols().index().definitions("added").empty());
        s.tree.write("other.qc", "float twice;\r\nfloat added;\r\n");
        QTRY_COMPARE(s.symbols().index().definitions("added").size(), std::size_t(1));
        // A safe save puts a new file in the old one's place; that one is followed too.
        s.tree.write("other.new", "float again;\r\n");
        std::filesystem::rename(s.tree / "other.new", s.tree / "other.qc");
        QTRY_COMPARE(s.symbols().index().definitions("again").size(), std::size_t(1));
        s.tree.write("other.qc", "float third;\r\n");
        QTRY_COMPARE(s.symbols().index().definitions("third").size(), std::size_t(1));
    }

    // A file written outside is read again and scanned off the window's thread.
    void writtenFilesAreReadOffTheWindowsThread()
    {
        Session &s = *session_;
        auto reads = std::make_shared<std::atomic<int>>(0);
        auto readsHere = std::make_shared<std::atomic<int>>(0);
        s.symbols().setFileReader([reads, readsHere, window = QThread::currentThread()](const std::string &path) {
            ++*reads;
            if (QThread::currentThread() == window)
                ++*readsHere;
            return fileio::readWholeFile(path, 1 << 20);
        });
        QSignalSpy landed(&s.symbols(), &ProjectSymbols::backgroundWorkLanded);
        s.tree.write("other.qc", "float twice;\r\nfloat added;\r\n");
        QTRY_COMPARE(s.symbols().index().definitions("added").size(), std::size_t(1));
        QVERIFY(!landed.isEmpty());
        QVERIFY(reads->load() >= 1);
        QCOMPARE(readsHere->load(), 0);
    }

    // A build reads the edited file from the disk: its text is scanned again only when it differs.
    void aBuildScansTheEditorTextOnlyWhenItIsNewer()
    {
        Session &s = *session_;
        s.open("world.qc");
        QTRY_VERIFY(!s.symbols().backgroundUpdatePending());
        QTest::qWait(500); // the pause after the load's change of text
        QTRY_VERIFY(!s.symbols().backgroundUpdatePending());
        for (const bool typed : {false, true}) {
            if (typed)
                QTest::keyClicks(s.form->vardo, "x");
            std::optional<bool> scanning;
            const auto watching = connect(&s.symbols(), &ProjectSymbols::rebuilt, this,
                                          [&] { scanning = s.symbols().backgroundUpdatePending(); });
            s.tree.write("progs.src", "progs.dat\r\ndefs.qc\r\nworld.qc\r\nother.qc\r\n\r\n");
            QTRY_VERIFY(scanning.has_value());
            disconnect(watching);
            QCOMPARE(*scanning, typed);
            QTRY_VERIFY(!s.symbols().backgroundUpdatePending());
        }
    }

    // However many files, one watch per folder, and writes of files in each still arrive.
    void theProjectIsWatchedByFolderNotByFile()
    {
        for (const int files : {4, 400}) {
            TempTree tree;
            tree.makeDirectory("sub");
            std::string list = "progs.dat\r\n";
            for (int i = 0; i < files; ++i) {
                const std::string name = (i % 2 ? "sub/f" : "f") + std::to_string(i) + ".qc";
                tree.write(name, "float f" + std::to_string(i) + ";\r\n");
                list += name + "\r\n";
            }
            tree.write("progs.src", list);
            ProjectSymbols symbols;
            symbols.setDirectory(tree.path(), std::string());
            QTRY_COMPARE(symbols.index().fileCount(), std::size_t(files));
            QCOMPARE(symbols.watchCount(), std::size_t(2));
            for (const char *name : {"f2.qc", "sub/f3.qc"}) {
                tree.write(name, std::string("float written") + name[0] + ";\r\n");
                QTRY_COMPARE(symbols.index().definitions(std::string("written") + name[0]).size(), std::size_t(1));
            }
        }
    }

    // Files named through a linked folder, or themselves links, are followed where they are.
    void writesOfFilesReachedThroughLinksReachTheIndex()
    {
        TempTree tree;
        tree.makeDirectory("real");
        tree.write("real/a.qc", "float a1;\r\n");
        tree.write("real/b.qc", "float b1;\r\n");
        std::filesystem::create_directory_symlink(tree / "real", tree / "linked");
        std::filesystem::create_symlink(tree / "real/b.qc", tree / "b.qc");
        tree.write("progs.src", "progs.dat\r\nlinked/a.qc\r\nb.qc\r\n");
        ProjectSymbols symbols;
        symbols.setDirectory(tree.path(), std::string());
        QTRY_COMPARE(symbols.index().fileCount(), std::size_t(2));
        for (const std::string name : {"a", "b"}) {
            tree.write("real/" + name + ".qc", "float " + name + "2;\r\n");
            QTRY_COMPARE(symbols.index().definitions(name + "2").size(), std::size_t(1));
        }
    }

    void theEditedFileChoosesAmongSeveralLists()
    {
        Session &s = *session_;
        QSignalSpy rebuilt(&s.symbols(), &ProjectSymbols::rebuilt);
        s.tree.write("csprogs.src", "#output \"../csprogs.dat\"\n#include \"client.qc\"\n");
        s.tree.write("client.qc", "void() CSQC_Init = {};\r\n");
        s.form->qclista->refresh();
        // The new list alone starts a build; the project is chosen again once it has landed.
        QTRY_VERIFY(rebuilt.count() > 0);
        s.open("world.qc");
        // The edited file is told to the index after the pause that follows the load; a build
        // that this started lands before the check.
        QTest::qWait(600);
        QTRY_VERIFY(!s.symbols().building());
        QVERIFY(s.symbols().index().definitions("CSQC_Init").empty());
        s.open("client.qc");
        QTRY_COMPARE(s.symbols().index().definitions("CSQC_Init").size(), std::size_t(1));
        QVERIFY(s.symbols().index().definitions("worldspawn").empty());
        s.open("world.qc");
        QTRY_COMPARE(s.symbols().index().definitions("worldspawn").size(), std::size_t(1));
    }

    void hoverOnABuiltinShowsItsNumberAndReference()
    {
        Session &s = *session_;
        const QString text = s.form->symbols->hoverText(nameAt(QStringLiteral("makevectors(v);"), 0, 3));
        QVERIFY2(text.contains(QStringLiteral("void(vector ang) makevectors = #1")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("The engine&#x27;s functions")) ||
                     text.contains(QStringLiteral("The engine's functions")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("builtin #1, defs.qc:2")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Function: makevectors")), qPrintable(text));
        QVERIFY(s.form->symbols->hoverText(nameAt(QStringLiteral("nothing"), 0, 1)).isEmpty());
    }

    void completionOffersLocalsFirstThenTheProject()
    {
        Session &s = *session_;
        s.open("world.qc");
        s.caret(3, 1);
        QTest::keyClicks(s.form->vardo, "ma");
        s.key(Qt::Key_J, Qt::ControlModifier);
        QListView *choices = s.form->symbols->choices();
        QVERIFY(choices);
        QCOMPARE(s.choices(), (QStringList{QStringLiteral("mark"), QStringLiteral("main"), QStringLiteral("makevectors"),
                                       QStringLiteral("maxhealth")}));
        QCOMPARE(s.details(), (QStringList{"local", "void() function", "void(vector ang) builtin", "float constant"}));
        // Typing on narrows the list; Enter takes the first, which replaces the whole name.
        QTest::keyClick(choices, Qt::Key_X);
        QCOMPARE(s.choices().size(), 1);
        QTest::keyClick(choices, Qt::Key_Return);
        QCOMPARE(s.form->vardo->document()->findBlockByNumber(3).text(), QStringLiteral("\tmaxhealth();"));
        QVERIFY(s.form->Manager->tabText(TForm1::EditPage).startsWith(QStringLiteral("[ &Edit")));

        // After a "." only fields: here a single one, taken at once.
        s.caret(4, 6);
        s.key(Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(!s.form->symbols->choices());
        QCOMPARE(s.form->vardo->document()->findBlockByNumber(4).text(), QStringLiteral("\tself.health = maxhealth;"));
    }

    // After "$" the edited file's own frames, numbers counted by their value.
    void frameCompletionKeepsToTheFile()
    {
        Session &s = *session_;
        s.open("world.qc");
        s.caret(7, 0);
        QTest::keyClicks(s.form->vardo, "$frame shocka10 shocka2\r$sh");
        s.key(Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(s.form->symbols->choices());
        QCOMPARE(s.choices(), (QStringList{"shocka2", "shocka10"}));
        QCOMPARE(s.details(), (QStringList{"frame", "frame"}));
    }

    // A pane shown read-only (its long lines cut) takes no completion.
    void completionLeavesAReadOnlyPaneAlone()
    {
        Session &s = *session_;
        s.tree.write("long.qc", "maxh\r\n// " + std::string(20'000, 'x') + "\r\n");
        s.form->qclista->refresh();
        s.open("long.qc");
        QVERIFY(s.form->vardo->isReadOnly());
        const QString caption = s.form->Manager->tabText(TForm1::EditPage);
        s.caret(0, 4);
        s.key(Qt::Key_J, Qt::ControlModifier); // maxhealth would be the one completion
        QVERIFY(!s.form->symbols->choices());
        QCOMPARE(s.form->vardo->document()->findBlockByNumber(0).text(), QStringLiteral("maxh"));
        QCOMPARE(s.form->Manager->tabText(TForm1::EditPage), caption);
    }
};

QTEST_MAIN(Symbols)
#include "tst_symbols.moc"
