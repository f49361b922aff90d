// The general pane (load with a click in the all-files list, "Save Man -->") and the external
// tools ("QCC!", the batch-file helpers and the folder window of the context menus).
#include "widgettesting.h"

#include "core/base/paths.h"
#include "doc/qtext.h"
#include "lists/directorylistbox.h"
#include "lists/filelistbox.h"
#include "lists/outputlist.h"
#include "panes/textpane.h"
#include "tools/shellexec.h"
#include "ui/notebook.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace vardo;
using namespace vardo::testing;

namespace {

// Standard error sent to a temporary file while it lives: the console messages end up there.
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile()), saved_(::dup(STDERR_FILENO))
    {
        std::fflush(stderr);
        ::dup2(::fileno(file_), STDERR_FILENO);
    }
    ~StderrCapture()
    {
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        std::fclose(file_);
    }
    std::string text() const
    {
        std::fflush(stderr);
        std::string out;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::pread(::fileno(file_), buffer, sizeof buffer, static_cast<off_t>(out.size()))) > 0)
            out.append(buffer, static_cast<std::size_t>(n));
        return out;
    }

private:
    std::FILE *file_;
    int saved_;
};

QStringList entriesOf(const std::string &directory)
{
    return QDir(QString::fromStdString(directory)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class GeneralToolsTest : public QObject {
    Q_OBJECT

private:
    std::optional<CurrentDirectoryGuard> guard_;
    std::unique_ptr<TempTree> tree_;
    std::unique_ptr<TForm1> form_;
    std::vector<tools::Execution> runs_;
    std::optional<QuestionScript> questions_;
    QByteArray savedPath_;

    const TempTree &tree() const { return *tree_; }

    bool start()
    {
        form_ = startForm(tree().path());
        return form_ != nullptr;
    }
    // The all-files list reads its directory when its page first comes to the front.
    void showAllFiles() { form_->TabbedNotebook1->setCurrentIndex(1); }

    void click(FileListBox *list, const QString &name, Qt::MouseButton button = Qt::LeftButton)
    {
        const int row = rowOf(list, name);
        QVERIFY2(row >= 0, qPrintable(name));
        clickRow(list, row, button);
    }
    // A double click on a row of `dir`, whose rows are built when the "&Nav" page is first shown.
    void openDirectory(const std::string &path)
    {
        form_->Manager->setCurrentIndex(TForm1::NavPage);
        const int row = rowOf(form_->dir, QString::fromStdString(paths::fileNamePart(path)));
        QVERIFY2(row >= 0, path.c_str());
        doubleClickRow(form_->dir, row);
        QCOMPARE(form_->dir->directory(), path);
    }
    // A right click on an entry, then the action picked from the context menu it opens.
    void chooseFromContextMenu(FileListBox *list, const QString &name, QAction *action)
    {
        click(list, name, Qt::RightButton);
        const QPoint at = list->visualRect(list->model()->index(rowOf(list, name), 0)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu && menu->actions().contains(action));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        QVERIFY(!menu->isVisible());
    }
    void expectLastRun(const std::string &file, const std::string &directory, tools::ShowMode mode)
    {
        QVERIFY(!runs_.empty());
        QCOMPARE(runs_.back().file, file);
        QCOMPARE(runs_.back().workingDirectory, directory);
        QVERIFY(runs_.back().mode == mode);
    }

private slots:
    void init()
    {
        guard_.emplace();
        questions_.emplace();
        tree_ = std::make_unique<TempTree>();
        runs_.clear();
        savedPath_ = qgetenv("PATH");
        tools::setExecuteSeam([this](const tools::Execution &run) { runs_.push_back(run); });
    }
    void cleanup()
    {
        form_.reset();
        tools::setExecuteSeam({});
        qputenv("PATH", savedPath_);
        guard_.reset();
        tree_.reset();
        questions_.reset();
    }

    void clickInAllFilesLoadsTheGeneralPaneAndShowsTheNavPage()
    {
        tree().write("a.txt", "alpha\r\nbeta\r\n");
        tree().write("b.txt", "bravo");
        tree().makeDirectory("empty");
        QVERIFY(start());
        showAllFiles();
        FileListBox *listado = form_->listado;
        QCOMPARE(listado->count(), 2);
        StderrCapture console;
        ErrorBoxRecorder boxes;

        // Below the last entry nothing gets selected, yet the page still comes to the front.
        const QPoint below = listado->visualRect(listado->model()->index(1, 0)).bottomLeft() + QPoint(5, 10);
        QVERIFY(listado->viewport()->rect().contains(below));
        form_->Manager->setCurrentIndex(TForm1::EditPage);
        QTest::mouseClick(listado->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(form_->Manager->currentIndex(), int(TForm1::NavPage));
        QVERIFY(generalFile(*form_).empty() && form_->test->wholeText().isEmpty());

        form_->Manager->setCurrentIndex(TForm1::ViewPage);
        click(listado, "a.txt");
        QCOMPARE(form_->Manager->currentIndex(), int(TForm1::NavPage));
        QCOMPARE(form_->test->wholeText(), QString("alpha\r\nbeta\r\n"));
        QCOMPARE(generalFile(*form_), tree() / "a.txt");

        // A file gone since the list was read: the pane and generalFile(*form_) keep what they had, the
        // error box says why, and the selection goes back to the file the pane shows.
        QCOMPARE(::unlink((tree() / "b.txt").c_str()), 0);
        form_->Manager->setCurrentIndex(TForm1::EditPage);
        click(listado, "b.txt");
        QCOMPARE(form_->Manager->currentIndex(), int(TForm1::NavPage));
        QCOMPARE(form_->test->wholeText(), QString("alpha\r\nbeta\r\n"));
        QCOMPARE(generalFile(*form_), tree() / "a.txt");
        QCOMPARE(listado->selectedFilePath(), tree() / "a.txt");
        QVERIFY(console.text().find("Load fail!!: ") != std::string::npos);
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY(boxes.texts[0].contains(QString::fromStdString(tree() / "b.txt")));
        QVERIFY(boxes.texts[0].contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
        click(listado, "a.txt");

        // An empty directory: a click selects nothing and loads nothing.
        openDirectory(tree() / "empty");
        QCOMPARE(listado->count(), 0);
        form_->Manager->setCurrentIndex(TForm1::EditPage);
        QTest::mouseClick(listado->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(form_->Manager->currentIndex(), int(TForm1::NavPage));
        QCOMPARE(generalFile(*form_), tree() / "a.txt");
    }

    void saveManWritesThePaneToTheLoadedFile()
    {
        tree().write("a.txt", "one\r\ntwo\r\n");
        QVERIFY(start());
        showAllFiles();
        TextPane *test = form_->test;

        // Nothing loaded yet: the button writes nowhere and does not even try.
        StderrCapture console;
        QTest::keyClicks(test, "typed");
        QTest::mouseClick(form_->salvaman, Qt::LeftButton);
        QCOMPARE(entriesOf(tree().path()), QStringList{"a.txt"});
        QCOMPARE(readFile(tree() / "a.txt"), std::string("one\r\ntwo\r\n"));
        QVERIFY(generalFile(*form_).empty());
        QVERIFY(console.text().find("Save fail") == std::string::npos);

        questions_->answers = {Choice::Discard};
        click(form_->listado, "a.txt");
        QCOMPARE(questions_->asked, QStringList{"Discard the text in the pane on the Nav page?"});
        QTest::keyClick(test, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(test, "three");
        QTest::keyClick(test, Qt::Key_Return);
        QTest::keyClicks(test, "four");
        QTest::mouseClick(form_->salvaman, Qt::LeftButton);
        QCOMPARE(readFile(tree() / "a.txt"), std::string("one\r\ntwo\r\nthree\r\nfour"));
        QCOMPARE(generalFile(*form_), tree() / "a.txt");

        QTest::keyClick(test, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(test, Qt::Key_Delete);
        QTest::mouseClick(form_->salvaman, Qt::LeftButton);
        QVERIFY(fileExists(tree() / "a.txt"));
        QCOMPARE(readFile(tree() / "a.txt"), std::string());
        QCOMPARE(entriesOf(tree().path()), QStringList{"a.txt"}); // no temporary left behind
    }

    void saveManAfterFailedLoadAndFailedSave()
    {
        tree().write("a.txt", "first\r\n");
        tree().write("gone.txt", "never read");
        QVERIFY(start());
        showAllFiles();
        StderrCapture console;
        ErrorBoxRecorder boxes;

        click(form_->listado, "a.txt");
        QCOMPARE(::unlink((tree() / "gone.txt").c_str()), 0);
        click(form_->listado, "gone.txt");
        // Saved elsewhere meanwhile and not edited here: the version on disk stands and shows.
        tree().write("a.txt", "changed on disk");
        QTest::mouseClick(form_->salvaman, Qt::LeftButton);
        QCOMPARE(readFile(tree() / "a.txt"), std::string("changed on disk"));
        QCOMPARE(form_->test->wholeText(), QString("changed on disk"));
        QCOMPARE(questions_->asked.size(), 1);
        QVERIFY(questions_->asked[0].startsWith("a.txt was changed on disk"));
        QCOMPARE(generalFile(*form_), tree() / "a.txt");

        // A read-only target: the file stays as it is, neither value moves, and the error box
        // names the file and the cause.
        QCOMPARE(::chmod((tree() / "a.txt").c_str(), 0444), 0);
        QTest::keyClicks(form_->test, "more");
        QTest::mouseClick(form_->salvaman, Qt::LeftButton);
        QCOMPARE(readFile(tree() / "a.txt"), std::string("changed on disk"));
        QCOMPARE(generalFile(*form_), tree() / "a.txt");
        QVERIFY(console.text().find("Save fail!!: ") != std::string::npos);
        QCOMPARE(boxes.texts.size(), 2);
        QVERIFY(boxes.texts[1].contains(QString::fromStdString(tree() / "a.txt")));
        QVERIFY(boxes.texts[1].contains(QString::fromLocal8Bit(std::strerror(EACCES))));

        // Clicking the file again offers to save the edits first: Discard reloads it.
        questions_->answers = {Choice::Discard};
        click(form_->listado, "a.txt");
        QCOMPARE(questions_->asked.last(), QString("Save changes to a.txt?"));
        QCOMPARE(form_->test->wholeText(), QString("changed on disk"));
    }

    // A load into the general pane over edits asks first; Cancel keeps the text and the row.
    void generalEditsAreOfferedForSaving_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<std::string>("diskA");
        QTest::newRow("save") << int(Choice::Save) << false << "bravo" << std::string("xalpha");
        QTest::newRow("discard") << int(Choice::Discard) << false << "bravo" << std::string("alpha");
        QTest::newRow("cancel") << int(Choice::Cancel) << false << "xalpha" << std::string("alpha");
        QTest::newRow("cancel, by key") << int(Choice::Cancel) << true << "xalpha" << std::string("alpha");
    }
    void generalEditsAreOfferedForSaving()
    {
        QFETCH(int, answer);
        QFETCH(bool, byKey);
        QFETCH(QString, shown);
        QFETCH(std::string, diskA);
        tree().write("a.txt", "alpha");
        tree().write("b.txt", "bravo");
        QVERIFY(start());
        showAllFiles();
        click(form_->listado, "a.txt");
        QTest::keyClicks(form_->test, "x");

        questions_->answers = {Choice(answer)};
        if (byKey)
            QTest::keyClick(form_->listado, Qt::Key_Down);
        else
            click(form_->listado, "b.txt");
        QCOMPARE(questions_->asked, QStringList{"Save changes to a.txt?"});
        QCOMPARE(form_->test->wholeText(), shown);
        QCOMPARE(readFile(tree() / "a.txt"), diskA);
        const bool cancelled = answer == int(Choice::Cancel);
        QCOMPARE(generalFile(*form_), tree() / (cancelled ? "a.txt" : "b.txt"));
        QCOMPARE(form_->listado->selectedFilePath(), generalFile(*form_));

        // Nothing changed: nothing is asked, even for the file already shown.
        if (!cancelled) {
            click(form_->listado, "b.txt");
            QCOMPARE(questions_->asked.size(), 1);
        } else {
            click(form_->listado, "a.txt");
            QCOMPARE(questions_->asked.size(), 2);
        }
    }

    // A binary loads without harm, read-only: "Save Man -->" says so and never alters it.
    void binaryFileLoadsAndIsNeverWritten()
    {
        const char head[] = "MZ\x90\0\x03\0\0\0\xff\xfe\r\x80\x81\x9d\n\0\xa0text\0\r\n\xff";
        std::string bytes(head, sizeof head - 1);
        for (int i = 0; i < 256; ++i)
            bytes += static_cast<char>(i);
        tree().write("prog.exe", bytes);
        QVERIFY(start());
        showAllFiles();
        ErrorBoxRecorder boxes;
        click(form_->listado, "prog.exe");
        QCOMPARE(generalFile(*form_), tree() / "prog.exe");
        QVERIFY(form_->test->isReadOnly());
        QVERIFY(form_->test->notice().startsWith("prog.exe is shown read-only: it holds NUL bytes"));
        QTest::mouseClick(form_->salvaman, Qt::LeftButton);
        QCOMPARE(boxes.texts, QStringList{displayText(tree() / "prog.exe") + " is shown read-only and was not saved."});
        QCOMPARE(readFile(tree() / "prog.exe"), bytes);
        QCOMPARE(generalFile(*form_), tree() / "prog.exe");
    }

    void paneWithLinesCutIsNeverSaved()
    {
        const std::string bytes = "head\n" + std::string(30000, 'z');
        tree().write("long.txt", bytes);
        QVERIFY(start());
        showAllFiles();
        ErrorBoxRecorder boxes;
        click(form_->listado, "long.txt");
        QVERIFY(form_->test->doc()->isReadOnly());
        QTest::mouseClick(form_->salvaman, Qt::LeftButton);
        QCOMPARE(boxes.texts, QStringList{displayText(tree() / "long.txt") + " is shown read-only and was not saved."});
        QCOMPARE(readFile(tree() / "long.txt"), bytes);
    }

    void compilerButtonCompilesWhereDirIs()
    {
        tree().makeDirectory("sub");
        tree().write("sub/frikqcc2.exe", "#!/bin/sh\npwd\n");
        QCOMPARE(::chmod((tree() / "sub/frikqcc2.exe").c_str(), 0755), 0);
        QVERIFY(start());
        openDirectory(tree() / "sub");
        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(form_->output->resultRows(), 2, 10000);
        QCOMPARE(form_->output->resultRow(0).text, QString::fromStdString(tree() / "sub"));
        QVERIFY(runs_.empty());
    }

    // No seams here: the real service finds the compiler in the current directory and starts it there.
    void compilerRunsForRealInTheDirectoryOfDir()
    {
        tools::setExecuteSeam({});
        tree().makeDirectory("sub");
        tree().makeDirectory("bin");
        QVERIFY(start());
        openDirectory(tree() / "sub");
        ErrorBoxRecorder boxes;
        const QString title = form_->windowTitle();

        qputenv("PATH", QByteArray::fromStdString(tree() / "bin"));
        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QVERIFY(boxes.texts.isEmpty());
        QCOMPARE(form_->windowTitle(), title);
        QCOMPARE(form_->dir->directory(), tree() / "sub");
        qputenv("PATH", savedPath_);

        const std::string compiler = tree() / "sub/frikqcc2.exe";
        tree().write("sub/frikqcc2.exe", "#!/bin/sh\npwd > ran.tmp && mv ran.tmp ran.txt\n");
        QCOMPARE(::chmod(compiler.c_str(), 0755), 0);
        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(fileExists(tree() / "sub/ran.txt"), 10000);
        QCOMPARE(readFile(tree() / "sub/ran.txt"), tree() / "sub\n");
        QVERIFY(boxes.texts.isEmpty());
    }

    void openWithNotepadWritesItsBatchFileAndRunsIt()
    {
        tree().write("alpha.qc", "void() main = {};\r\n");
        tree().write("beta.qc", "");
        tree().write("gonotepad.bat", "an older and much longer batch file\r\nsecond line\r\n");
        QVERIFY(start());
        ErrorBoxRecorder boxes;

        form_->openwithnotepad1->trigger();
        QCOMPARE(readFile(tree() / "gonotepad.bat"), std::string("notepad \r\n"));
        QCOMPARE(runs_.size(), std::size_t(1));
        expectLastRun("gonotepad.bat", tree().path(), tools::ShowMode::Hidden);

        // The menu acts on the entry chosen with the left button, not the one right-clicked.
        click(form_->qclista, "alpha.qc");
        chooseFromContextMenu(form_->qclista, "beta.qc", form_->openwithnotepad1);
        QCOMPARE(form_->qclista->selectedFilePath(), tree() / "alpha.qc");
        QCOMPARE(readFile(tree() / "gonotepad.bat"), "notepad " + (tree() / "alpha.qc") + "\r\n");
        QCOMPARE(runs_.size(), std::size_t(2));
        expectLastRun("gonotepad.bat", tree().path(), tools::ShowMode::Hidden);
        QVERIFY(boxes.texts.isEmpty());
    }

    // A name with a line break would make the batch file run a second command.
    void lineBreakInTheSelectedNameWritesAndRunsNothing()
    {
        const std::string hostile = "x\nstart inject.desktop\nz.qc";
        tree().write(hostile, "");
        tree().write("inject.desktop", "");
        QVERIFY(start());
        showAllFiles();
        ErrorBoxRecorder boxes;
        click(form_->qclista, displayText(hostile));
        form_->openwithnotepad1->trigger();
        click(form_->listado, displayText(hostile));
        form_->shellopen1->trigger();
        QCOMPARE(boxes.texts, QStringList(2, "The file name contains a line break."));
        QVERIFY(runs_.empty());
        QVERIFY(!fileExists(tree() / "gonotepad.bat") && !fileExists(tree() / "goshell.bat"));
    }

    void batchFileInReadOnlyDirectoryIsRefusedAndNotRun()
    {
        tree().makeDirectory("ro");
        QCOMPARE(::chmod((tree() / "ro").c_str(), 0555), 0);
        QVERIFY(start());
        openDirectory(tree() / "ro");
        ErrorBoxRecorder boxes;
        form_->openwithnotepad1->trigger();
        QCOMPARE(boxes.texts, QStringList{"File access denied."});
        QVERIFY(runs_.empty());
        QVERIFY(entriesOf(tree() / "ro").isEmpty());
    }

    void batchFileShowsInAllFilesOnceReadAgainNotInQcFiles()
    {
        tree().makeDirectory("sub");
        tree().write("sub/x.qc", "");
        QVERIFY(start());
        showAllFiles();
        openDirectory(tree() / "sub");
        QCOMPARE(rowOf(form_->listado, "gonotepad.bat"), -1);
        form_->openwithnotepad1->trigger();
        QVERIFY(fileExists(tree() / "sub/gonotepad.bat"));
        openDirectory(tree().path());
        openDirectory(tree() / "sub");
        QVERIFY(rowOf(form_->listado, "gonotepad.bat") >= 0);
        QCOMPARE(form_->qclista->count(), 1);
        QCOMPARE(rowText(form_->qclista, 0), QString("x.qc"));
    }

    void shellOpenAndExploreFolderActOnTheAllFilesSelection()
    {
        tree().write("my notes.txt", "notes");
        tree().write("z.cfg", "bind x y");
        QVERIFY(start());
        showAllFiles();
        ErrorBoxRecorder boxes;

        // Nothing selected: an empty name goes to the service and the editor shows nothing.
        chooseFromContextMenu(form_->listado, "z.cfg", form_->ExploreFolder1);
        QCOMPARE(runs_.size(), std::size_t(1));
        expectLastRun("", tree().path(), tools::ShowMode::Normal);

        click(form_->listado, "my notes.txt");
        chooseFromContextMenu(form_->listado, "z.cfg", form_->shellopen1);
        QCOMPARE(readFile(tree() / "goshell.bat"), "start " + (tree() / "my notes.txt") + "\r\n");
        expectLastRun("goshell.bat", tree().path(), tools::ShowMode::Hidden);

        chooseFromContextMenu(form_->listado, "z.cfg", form_->ExploreFolder1);
        expectLastRun(tree().path() + "/", tree().path(), tools::ShowMode::Normal);
        QCOMPARE(runs_.size(), std::size_t(3));
        QVERIFY(boxes.texts.isEmpty());
    }
};

QTEST_MAIN(GeneralToolsTest)
#include "tst_general_tools.moc"
