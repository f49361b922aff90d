// Compiling inside the window: finding the compiler, its output streamed into the list under the
// editor, the rows' colours and summary, going to the places they name, and the real fteqcc.
#include "widgettesting.h"

#include "compile/compiler.h"
#include "compile/compilerdialog.h"
#include "compile/compilerun.h"
#include "core/base/paths.h"
#include "lists/filelistbox.h"
#include "lists/outputlist.h"
#include "panes/textpane.h"
#include "settings/settings.h"
#include "symbols/projectsymbols.h"
#include "symbols/symbolnavigator.h"
#include "tools/programs.h"
#include "ui/notebook.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QDir>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace vardo;
using namespace vardo::testing;

namespace {

// A compiler of our own: a shell script that prints what a test wants.
void writeScript(const std::string &path, const std::string &body)
{
    std::FILE *file = std::fopen(path.c_str(), "w");
    std::fputs(("#!/bin/sh\nPATH=/usr/bin:/bin\n" + body).c_str(), file);
    std::fclose(file);
    ::chmod(path.c_str(), 0755);
}

// A stopped process whose parent died first stays a zombie until PID 1 reaps it, which in a
// container may be never: a zombie has stopped all the same.
bool processAlive(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    // The state follows the command's name, which is in parentheses and may hold any character.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size())
        return false;
    const char state = line[close + 2];
    return state != 'Z' && state != 'X';
}

} // namespace

class Compile : public QObject {
    Q_OBJECT

private:
    std::optional<CurrentDirectoryGuard> guard_;
    std::unique_ptr<TempTree> tree_;
    std::unique_ptr<ErrorBoxRecorder> boxes_;
    std::unique_ptr<TForm1> form_;
    QByteArray savedPath_;

    const TempTree &tree() const { return *tree_; }
    std::string bin() const { return tree() / "bin"; }
    std::string mod() const { return tree() / "mod"; }
    // The fake compiler, found along PATH as fteqcc.
    void compiler(const std::string &body) { writeScript(bin() + "/fteqcc", body); }

    bool start()
    {
        form_ = startForm(mod());
        return form_ != nullptr;
    }
    OutputList *output() const { return form_->output; }
    QString rowText(int row) const { return output()->resultRow(row).text; }
    QString lastRow() const { return output()->resultRows() ? rowText(output()->resultRows() - 1) : QString(); }
    bool finished() const
    {
        return lastRow().endsWith(" s") || lastRow().endsWith(kNeedsNewerCompiler) || lastRow().startsWith("No ") ||
               lastRow().startsWith("Could not start");
    }
    QVariant colour(int row) const { return output()->model()->index(row + 1, 0).data(Qt::ForegroundRole); }
    int rowWith(const QString &text) const
    {
        for (int i = 0; i < output()->resultRows(); ++i)
            if (rowText(i).contains(text))
                return i;
        return -1;
    }
    void compileAndWait()
    {
        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(finished(), 20000);
    }
    void doubleClickResultRow(int row)
    {
        const QModelIndex index = output()->model()->index(row + 1, 0);
        output()->scrollTo(index);
        const QPoint at = output()->visualRect(index).center();
        QTest::mouseClick(output()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(output()->viewport(), Qt::LeftButton, {}, at);
    }
    QString selectedText() const { return form_->vardo->textCursor().selectedText(); }
    CompileRun *compileRun() const
    {
        for (QObject *child : form_->findChildren<QObject *>())
            if (auto *run = dynamic_cast<CompileRun *>(child))
                return run;
        return nullptr;
    }
    // The process id a script wrote into `directory`/`name`, or 0 while it has not.
    static pid_t pidIn(const std::string &directory, const std::string &name)
    {
        const std::string text = fileExists(directory + "/" + name) ? readFile(directory + "/" + name) : "";
        return text.empty() || text.back() != '\n' ? 0 : std::stoi(text);
    }

private slots:
    void init()
    {
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(settingsFilePath());
        guard_.emplace();
        tree_ = std::make_unique<TempTree>();
        boxes_ = std::make_unique<ErrorBoxRecorder>();
        tree().makeDirectory("bin");
        tree().makeDirectory("mod");
        tree().makeDirectory("mod/sub");
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(bin()));
    }
    void cleanup()
    {
        form_.reset();
        qputenv("PATH", savedPath_);
        boxes_.reset();
        guard_.reset();
        // By bytes: the toolkit cannot name what is not UTF-8.
        std::filesystem::remove_all(tree().path());
        tree_.reset();
    }

    void compilerIsFoundInItsOrder()
    {
        tree().write("mod/progs.src", "");
        QVERIFY(::chdir(mod().c_str()) == 0);
        QVERIFY(!build::findCompiler());
        for (const char *name : {"qfcc", "frikqcc", "gmqcc", "fteqcc"}) {
            writeScript(bin() + "/" + name, "");
            const auto found = build::findCompiler();
            QVERIFY(found);
            QCOMPARE(found->program, bin() + "/" + name);
            const std::vector<std::string> qfccArgs = {"--progs-src", "progs.src"};
            QCOMPARE(found->args.empty(), name != std::string("qfcc"));
            QVERIFY(found->args.empty() || found->args == qfccArgs);
        }
        // frikqcc2.exe comes first: along PATH, then in the working directory before it.
        writeScript(bin() + "/frikqcc2.exe", "");
        QCOMPARE(build::findCompiler()->program, bin() + "/frikqcc2.exe");
        writeScript(mod() + "/frikqcc2.exe", "");
        QCOMPARE(build::findCompiler()->program, mod() + "/frikqcc2.exe");
        // A Windows program without wine cannot run: the native compilers stand in.
        tree().write("mod/frikqcc2.exe", "MZ\x90");
        QCOMPARE(build::findCompiler()->program, bin() + "/fteqcc");
        writeScript(bin() + "/wine", "");
        QCOMPARE(*build::findCompiler(), (tools::Command{bin() + "/wine", {mod() + "/frikqcc2.exe"}}));
    }

    // Right-click on the button offers the dialog; what it saves runs from then on, and what
    // cannot run is refused, keeping the choice before.
    void chosenCompilerIsRememberedAndChecked()
    {
        compiler("echo found\n");
        writeScript(tree() / "mine", "echo \"mine $#: $*\"\n");
        tree().write("mod/notes.txt", "");
        QVERIFY(start());
        const QList<QAction *> actions = form_->qccarranca->actions();
        QVERIFY(std::ranges::any_of(actions, [](const QAction *a) { return a->text() == "Compiler…"; }));
        const auto choose = [this](const std::string &program, const QString &arguments) {
            CompilerDialog dialog(form_->settings(), form_.get());
            dialog.findChild<QLineEdit *>("program")->setText(QString::fromStdString(program));
            dialog.findChild<QLineEdit *>("arguments")->setText(arguments);
            dialog.accept();
            return dialog.result() == QDialog::Accepted;
        };
        {
            CompilerDialog dialog(form_->settings(), form_.get());
            QCOMPARE(dialog.findChild<QListWidget *>("found")->item(0)->text(),
                     QString::fromStdString(bin() + "/fteqcc    fteqcc"));
        }
        // A path typed relative to the working directory is remembered whole.
        QVERIFY(choose("../mine", "-O2 'my progs.src'"));
        const build::CompilerChoice mine{tree() / "mine", "-O2 'my progs.src'"};
        QCOMPARE(build::savedChoice(form_->settings()), mine);
        compileAndWait();
        QCOMPARE(rowText(0), QString("mine 2: -O2 my progs.src"));
        QCOMPARE(output()->heading(), QString("Compiling in %1 with mine (your choice): %2 -O2 my progs.src")
                                          .arg(QString::fromStdString(mod()), QString::fromStdString(tree() / "mine")));

        for (const auto &[program, arguments] : {std::pair{mod() + "/notes.txt", QString()},
                                                 std::pair{mod() + "/gone", QString()},
                                                 std::pair{tree() / "mine", QString("'unclosed")}}) {
            boxes_->texts.clear();
            QVERIFY(!choose(program, arguments));
            QCOMPARE(boxes_->texts.size(), 1);
            QVERIFY2(boxes_->texts[0].endsWith("The compiler stays as it was."), qPrintable(boxes_->texts[0]));
            QCOMPARE(build::savedChoice(form_->settings()), mine);
        }
        // Back to the compiler found, which saves nothing.
        QVERIFY(choose("", ""));
        QVERIFY(!QSettings(settingsFilePath(), QSettings::IniFormat).contains("compiler/program"));
        compileAndWait();
        QCOMPARE(rowText(0), QString("found"));
    }

    // Debian's fteqcc on the newer mods: the summary says what to do.
    void anOldFteqccIsNamedInTheSummary()
    {
        const QRegularExpression counts("^\\d+ errors?, \\d+ warnings?, exit code 1, \\d+\\.\\d\\d s");
        for (const auto &[name, line, advised] :
             {std::tuple{"fteqcc", "Couldn't open file #pragma", true},
              std::tuple{"fteqcc", "defs.qc:689: error: \":\" is not a type", true},
              std::tuple{"fteqcc", "defs.qc:689: error: \"x\" is not a type", false},
              std::tuple{"gmqcc", "Couldn't open file #pragma", false}}) {
            QFile::remove(QString::fromStdString(bin() + "/fteqcc"));
            writeScript(bin() + "/" + name, std::string("cat <<'END'\n") + line + "\nEND\nexit 1\n");
            if (!form_)
                QVERIFY(start());
            compileAndWait();
            QVERIFY2(counts.match(lastRow()).hasMatch(), qPrintable(lastRow()));
            QVERIFY2(lastRow().endsWith(QString(" s. ") + kNeedsNewerCompiler) == advised, line);
        }
    }

    void outputIsStreamedColouredAndSummed()
    {
        tree().write("mod/world.qc", "void() main =\n{\n};\n");
        tree().write("mod/sub/ai.qc", "float() CheckAttack =\n{\n\treturn FALSE;\n};\n");
        compiler("echo 'compiling world.qc'\n"
                 "printf '\\033]0;PWNED TITLE\\007\\033[31msub/ai.qc:3: error: Unknown value \"FALSE\".\\033[0m\\r\\n' >&2\n"
                 "echo 'world.qc:2:5: warning: odd brace [-Wodd]'\n"
                 "echo 'defs.qc:5:    dprint  is defined here'\n"
                 "echo 'void() made = {};' > made.qc\n"
                 "exit 1\n");
        QVERIFY(start());
        QVERIFY(output()->isHidden());
        form_->Manager->setCurrentIndex(TForm1::NavPage);
        compileAndWait();
        QCOMPARE(form_->Manager->currentIndex(), int(TForm1::EditPage));
        QVERIFY(output()->isVisible());
        QCOMPARE(output()->heading(), QString("Compiling in %1 with fteqcc: %2/fteqcc")
                                          .arg(QString::fromStdString(mod()), QString::fromStdString(bin())));
        QCOMPARE(output()->resultRows(), 5);
        QCOMPARE(rowText(1), QString("sub/ai.qc:3: error: Unknown value \"FALSE\"."));
        QVERIFY(lastRow().startsWith("1 error, 1 warning, exit code 1, "));
        QCOMPARE(colour(0), QVariant());
        QCOMPARE(colour(1).value<QColor>(), QColor(200, 0, 0));
        QCOMPARE(colour(2).value<QColor>(), QColor(160, 100, 0));
        QCOMPARE(colour(3).value<QColor>(), QColor(112, 112, 112));
        // Places are kept absolute: the directory may change before they are used.
        QCOMPARE(output()->resultRow(1).file, mod() + "/sub/ai.qc");
        QCOMPARE(output()->resultRow(2).column, 5);
        // The lists were read again for the compiler's own files.
        QVERIFY(rowOf(form_->qclista, "made.qc") >= 0);

        // Esc hides the list; the next compile brings it back.
        output()->setFocus();
        QTest::keyClick(output(), Qt::Key_Escape);
        QVERIFY(output()->isHidden());
        QTest::keyClick(form_->vardo, Qt::Key_F7);
        QVERIFY(output()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(finished(), 20000);
        QVERIFY(form_->Splitter1->sizes().at(1) > 0);
    }

    // A folder below the mod's source list compiles the mod, and its rows lead into the folder
    // without entering another.
    void aFolderBelowTheRootCompilesAtTheRoot()
    {
        tree().write("mod/progs.src", "progs.dat\nsub/x.qc\n");
        tree().write("mod/sub/x.qc", "float x;\n");
        compiler("echo \"in $(pwd -P)\"\necho 'sub/x.qc:1: error: bad'\nexit 1\n");
        form_ = startForm(mod() + "/sub");
        QVERIFY(form_);
        compileAndWait();
        QCOMPARE(rowText(rowWith("in /")), QString::fromStdString("in " + mod()));
        doubleClickResultRow(rowWith("error: bad"));
        QCOMPARE(editedFile(*form_), mod() + "/sub/x.qc");
        QCOMPARE(form_->Manager->tabText(TForm1::EditPage), QString("sub/x.qc"));
        QCOMPARE(tools::workingDirectory(), mod() + "/sub");
        QCOMPARE(form_->qclista->selectedFilePath(), mod() + "/sub/x.qc");
    }

    void diagnosticsLeadToTheirPlaces()
    {
        tree().write("mod/a.qc", "// a\n");
        tree().write("mod/world.qc", "void() main =\n{\n\tlocal float x;\n};\n");
        tree().write("mod/sub/ai.qc", "float() CheckAttack =\n{\n\treturn FALSE;\n};\n");
        compiler("echo 'in function CheckAttack (line 1),'\n"
                 "echo 'sub/ai.qc:3: error: Unknown value \"FALSE\".'\n"
                 "echo 'world.qc:3:8: warning: unused'\n"
                 "echo 'gone.qc:1: error: no such file'\n"
                 "echo 'Error in world.qc on line 99'\n");
        QVERIFY(start());
        clickRow(form_->qclista, rowOf(form_->qclista, "a.qc"));
        compileAndWait();
        form_->Manager->setCurrentIndex(TForm1::NavPage);

        // A double click opens a file of a subdirectory that no list shows.
        doubleClickResultRow(rowWith("FALSE"));
        QCOMPARE(form_->Manager->currentIndex(), int(TForm1::EditPage));
        QCOMPARE(editedFile(*form_), mod() + "/sub/ai.qc");
        QCOMPARE(selectedText(), QString("\treturn FALSE;"));
        QCOMPARE(form_->Manager->tabText(TForm1::EditPage), QString("sub/ai.qc"));
        QCOMPARE(form_->qclista->selectedFilePath(), mod() + "/a.qc");
        QCOMPARE(form_->editbar->currentMessage(), QString("[3/5] - "));
        QVERIFY(form_->vardo->hasFocus());

        // F4 walks the errors on from there, then the warnings; Shift+F4 walks back.
        // A file that is not there: the error box, and the editor stays as it was.
        QTest::keyClick(form_->vardo, Qt::Key_F4);
        QCOMPARE(boxes_->texts, QStringList{"Cannot open file " + QString::fromStdString(mod() + "/gone.qc") + "."});
        QCOMPARE(editedFile(*form_), mod() + "/sub/ai.qc");
        QCOMPARE(selectedText(), QString("\treturn FALSE;"));
        // A line past the end goes to the last line.
        QTest::keyClick(form_->vardo, Qt::Key_F4);
        QCOMPARE(editedFile(*form_), mod() + "/world.qc");
        QCOMPARE(selectedText(), QString("};"));
        // The warning after the errors, the column taken where given; then the walk wraps around.
        QTest::keyClick(form_->vardo, Qt::Key_F4);
        QCOMPARE(selectedText(), QString("float x;"));
        QCOMPARE(form_->vardo->textCursor().positionInBlock(), 7);
        QTest::keyClick(form_->vardo, Qt::Key_F4);
        QCOMPARE(editedFile(*form_), mod() + "/sub/ai.qc");
        QTest::keyClick(form_->vardo, Qt::Key_F4, Qt::ShiftModifier);
        QCOMPARE(editedFile(*form_), mod() + "/world.qc");
        QCOMPARE(selectedText(), QString("float x;"));

        // Enter on a row; the edited file reached by another name is not loaded again.
        QTest::keyClicks(form_->vardo, "// typed");
        form_->auto_->setChecked(false);
        std::filesystem::create_directory_symlink(mod(), tree() / "link");
        QVERIFY(form_->goToPlace("../link/sub/../world.qc", 1, 0));
        QVERIFY(form_->vardo->wholeText().contains("// typed"));
        QCOMPARE(selectedText(), QString("void() main ="));
        output()->setCurrentIndex(output()->model()->index(rowWith("FALSE") + 1, 0));
        output()->setFocus();
        QTest::keyClick(output(), Qt::Key_Return);
        QCOMPARE(editedFile(*form_), mod() + "/sub/ai.qc");
        // Rows without a place lead nowhere.
        doubleClickResultRow(rowWith("in function"));
        QCOMPARE(editedFile(*form_), mod() + "/sub/ai.qc");
    }

    // A diagnostic naming a file outside the mod opens it read-only, never to be written from
    // there; a file the source list reaches outside the mod opens for editing as any other.
    void filesOutsideTheModOpenReadOnly()
    {
        tree().makeDirectory("common");
        tree().makeDirectory("outside");
        tree().write("common/shared.qc", "float shared;\n");
        tree().write("outside/x.qc", "secret\n");
        tree().write("mod/progs.src", "progs.dat\n../common/shared.qc\n");
        const std::string outside = tree() / "outside/x.qc";
        compiler("echo '" + outside + ":1: error: bait'\necho '../common/shared.qc:1: warning: listed'\n");
        QVERIFY(start());
        QTRY_VERIFY(!form_->symbols->symbols().building());
        compileAndWait();
        const auto shown = [&](const char *text) {
            return output()->model()->index(rowWith(text) + 1, 0).data().toString();
        };
        QVERIFY(shown("bait").endsWith("[outside the project: opens read-only]"));
        QVERIFY(!shown("listed").contains("outside"));

        QTest::keyClick(form_->vardo, Qt::Key_F4);
        QCOMPARE(editedFile(*form_), outside);
        QVERIFY(form_->vardo->isReadOnly() && form_->vardo->hasFocus());
        QCOMPARE(form_->vardo->notice(),
                 QString::fromStdString(outside) + " is shown read-only: it lies outside the project, and it is "
                                                   "not saved from here.");
        QCOMPARE(form_->Manager->tabText(TForm1::EditPage), QString::fromStdString(outside));
        QTest::keyClick(form_->vardo, Qt::Key_Return);
        QTest::keyClicks(form_->vardo, "x");
        QVERIFY(!form_->vardo->doc()->isChanged());
        QTest::keyClick(form_->vardo, Qt::Key_F4);
        QCOMPARE(editedFile(*form_), paths::canonical(tree() / "common/shared.qc"));
        QVERIFY(!form_->vardo->isReadOnly() && form_->vardo->notice().isEmpty());
        QCOMPARE(readFile(outside), std::string("secret\n"));
    }

    void editorIsWrittenFirstOnlyWhenAutosaveIsOn()
    {
        tree().write("mod/a.qc", "old\n");
        compiler("cat a.qc\n");
        QVERIFY(start());
        doubleClickRow(form_->qclista, rowOf(form_->qclista, "a.qc"));
        QTest::keyClick(form_->vardo, Qt::Key_End);
        QTest::keyClicks(form_->vardo, " new");
        compileAndWait();
        QCOMPARE(rowText(0), QString("old new"));

        form_->auto_->setChecked(false);
        QTest::keyClicks(form_->vardo, " unsaved");
        compileAndWait();
        QCOMPARE(rowText(0), QString("old new"));

        // A write that fails stops the compile: the list keeps the last result.
        form_->auto_->setChecked(true);
        QVERIFY(::chmod((mod() + "/a.qc").c_str(), 0444) == 0);
        const int rows = output()->resultRows();
        compiler("echo never\n");
        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QCOMPARE(boxes_->texts.size(), 1);
        // A compile starts within the press, or from work it queued: after those no compiler runs.
        QCoreApplication::processEvents();
        const CompileRun *run = compileRun();
        QVERIFY(run);
        QVERIFY(!run->isRunning());
        QCOMPARE(output()->resultRows(), rows);
        QCOMPARE(rowText(0), QString("old new"));
    }

    void secondPressRestartsAndClosingStops()
    {
        compiler("echo $$ > pid.$$\nsleep 60 &\necho $! > child.$$\nwait\n");
        QVERIFY(start());
        const auto pids = [this](const char *prefix) {
            QStringList found = QDir(QString::fromStdString(mod())).entryList({QString(prefix) + ".*"}, QDir::Files);
            std::vector<pid_t> list;
            for (const QString &name : found) {
                const std::string text = readFile(mod() + "/" + name.toStdString());
                if (!text.empty())
                    list.push_back(std::stoi(text));
            }
            return list;
        };
        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(pids("child").size(), std::size_t(1), 10000);
        const pid_t first = pids("pid").at(0), firstChild = pids("child").at(0);
        QVERIFY(processAlive(first) && processAlive(firstChild));

        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(pids("child").size(), std::size_t(2), 10000);
        QVERIFY(!processAlive(first));
        QTRY_VERIFY(!processAlive(firstChild));
        QVERIFY(!finished());
        pid_t second = 0, secondChild = 0;
        for (pid_t pid : pids("pid"))
            second = pid == first ? second : pid;
        for (pid_t pid : pids("child"))
            secondChild = pid == firstChild ? secondChild : pid;
        QVERIFY(processAlive(second) && processAlive(secondChild));

        form_.reset();
        QVERIFY(!processAlive(second));
        QTRY_VERIFY(!processAlive(secondChild));
    }

    // Every process a compile starts ends with it: those left in its process group and those
    // that made a session of their own, when the compiler exits, when F7 starts it over, and
    // when the window closes. A program started detached is none of them.
    void processesTheCompileStartedEndWithIt()
    {
        // The grouped one waits for its own end, a stand-in for `(sleep 1002) &`.
        compiler("sh -c 'echo $$ > grouped; exec sleep 1002' &\n"
                 "setsid sh -c 'echo $$ > escaped; exec sleep 1003' &\n"
                 "while [ ! -s grouped ] || [ ! -s escaped ]; do sleep 0.01; done\n"
                 "[ -e stay ] && exec sleep 1001\n"
                 "echo started\n");
        QVERIFY(start());
        pid_t grouped = 0, escaped = 0;
        const auto started = [&] {
            return QTest::qWaitFor([&] {
                grouped = pidIn(mod(), "grouped");
                escaped = pidIn(mod(), "escaped");
                return grouped != 0 && escaped != 0;
            }, 10000);
        };
        const auto removePids = [this] {
            std::filesystem::remove(mod() + "/grouped");
            std::filesystem::remove(mod() + "/escaped");
        };

        compileAndWait();
        QVERIFY2(lastRow().startsWith("0 errors, 0 warnings, exit code 0"), qPrintable(lastRow()));
        QVERIFY(started());
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(grouped) && !processAlive(escaped), 5000);

        tree().write("mod/stay", "");
        removePids();
        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QVERIFY(started());
        tools::startDetached({"/bin/sh", {"-c", "echo $$ > detached; exec /bin/sleep 1004"}});
        QTRY_VERIFY_WITH_TIMEOUT(pidIn(mod(), "detached") != 0, 10000);
        const pid_t detached = pidIn(mod(), "detached");
        removePids();
        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(grouped) && !processAlive(escaped), 5000);
        QVERIFY(started());
        QVERIFY(!finished());

        form_.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(grouped) && !processAlive(escaped), 5000);
        QVERIFY(processAlive(detached));
        ::kill(detached, SIGKILL);
    }

    // A folder whose name is not UTF-8, beside one spelled with U+FFFD, and a compiler in such a
    // folder too: the compile runs in the very folder, the program and its arguments are the
    // very bytes, and the places it names lead there.
    void foldersAndProgramsTravelAsBytes()
    {
        const std::string bad = tree() / "bad\xffname", sibling = tree() / "bad\xef\xbf\xbdname",
                          oddBin = tree() / "bin\xfe";
        for (const std::string &directory : {bad, sibling, oddBin})
            QVERIFY(::mkdir(directory.c_str(), 0755) == 0);
        qputenv("PATH", QByteArray::fromStdString(oddBin));
        writeScript(oddBin + "/fteqcc", "pwd > here\nprintf 'w\\377rld.qc:2: error: odd\\n'\n");
        form_ = startForm(bad);
        QVERIFY(form_);
        compileAndWait();
        QCOMPARE(readFile(bad + "/here"), bad + "\n");
        QVERIFY(!fileExists(sibling + "/here"));
        QCOMPARE(rowText(0), QString("w\\xFFrld.qc:2: error: odd"));
        QCOMPARE(output()->resultRow(0).file, bad + "/w\xffrld.qc");
        QVERIFY(lastRow().startsWith("1 error, 0 warnings, exit code 0"));

        // A Windows compiler in the folder, run through wine with its path as the argument.
        tree().write("bad\xffname/frikqcc2.exe", "MZ\x90");
        writeScript(oddBin + "/wine", "[ -f \"$1\" ] && echo \"wine ran $1\"\n");
        compileAndWait();
        QCOMPARE(rowText(0), "wine ran " + QString::fromStdString(tree().path()) + "/bad\\xFFname/frikqcc2.exe");
    }

    void longLinesAreCutInTheirRows()
    {
        compiler("head -c 100000 /dev/zero | tr '\\0' x\necho\n"
                 "printf 'world.qc:4: error: '; head -c 70000 /dev/zero | tr '\\0' y; echo\n");
        QVERIFY(start());
        compileAndWait();
        QCOMPARE(output()->resultRows(), 3);
        QCOMPARE(rowText(0), QString(qc::kShownLength, u'x') + QChar(0x2026));
        QCOMPARE(rowText(1).size(), qsizetype(qc::kShownLength + 1));
        QCOMPARE(output()->resultRow(1).line, 4);
        QCOMPARE(output()->resultRow(1).file, mod() + "/world.qc");
    }

    void longOutputKeepsTheLastRowsAndNoCompilerIsSaid()
    {
        compiler("i=1; while [ $i -le 10050 ]; do echo \"line $i\"; i=$((i+1)); done\n");
        QVERIFY(start());
        compileAndWait();
        QCOMPARE(output()->resultRows(), OutputList::kMaxRows + 1);
        QCOMPARE(rowText(0), QString("line 51"));
        QCOMPARE(rowText(OutputList::kMaxRows - 1), QString("line 10050"));
        QVERIFY(lastRow().startsWith("0 errors, 0 warnings, exit code 0, "));

        // A program that cannot be started says so in the last row.
        tree().write("bin/fteqcc", "#!/nonexistent/shell\n");
        compileAndWait();
        QVERIFY2(lastRow().startsWith("Could not start " + QString::fromStdString(bin()) + "/fteqcc: "),
                 qPrintable(lastRow()));
        QCOMPARE(colour(output()->resultRows() - 1).value<QColor>(), QColor(200, 0, 0));

        QVERIFY(::unlink((bin() + "/fteqcc").c_str()) == 0);
        QTest::mouseClick(form_->qccarranca, Qt::LeftButton);
        QCOMPARE(output()->resultRows(), 1);
        QCOMPARE(lastRow(), QString(build::kNoCompilerFound));
        QCOMPARE(colour(0).value<QColor>(), QColor(200, 0, 0));
        QVERIFY(boxes_->texts.isEmpty());
    }

    void aResultOfAnotherKindIsShownAndWalked()
    {
        tree().write("mod/a.qc", "one\ntwo\nthree\n");
        QVERIFY(start());
        std::vector<OutputRow> rows(3);
        rows[0].text = "a.qc:2: two";
        rows[0].file = "a.qc";
        rows[0].line = 2;
        rows[1].text = "not a place";
        rows[2].text = "a.qc:3: three";
        rows[2].file = mod() + "/a.qc";
        rows[2].line = 3;
        // Tabs show as spaces up to the next stop of four, the marked name moving with them.
        rows[2].text = "a.qc:3:\tx\tthree";
        rows[2].markFrom = 10;
        rows[2].markLength = 5;
        output()->showResult("References of two", rows);
        QVERIFY(output()->isVisible());
        QCOMPARE(output()->heading(), QString("References of two"));
        const QModelIndex third = output()->model()->index(3, 0);
        QCOMPARE(third.data().toString(), QString("a.qc:3: x   three"));
        QCOMPARE(third.data(OutputList::kMarkRole).toPoint(), QPoint(12, 5));
        QCOMPARE(output()->model()->index(1, 0).data(OutputList::kMarkRole), QVariant());
        QTest::keyClick(form_->vardo, Qt::Key_F4, Qt::ShiftModifier);
        QCOMPARE(selectedText(), QString("three"));
        QTest::keyClick(form_->vardo, Qt::Key_F4, Qt::ShiftModifier);
        QCOMPARE(selectedText(), QString("two"));
    }

    // The real compiler on a mod of our own with one planted error and one warning.
    void realFteqccCompileLeadsToTheError()
    {
        qputenv("PATH", savedPath_);
        if (!build::findCompiler() || build::findCompiler()->program.find("fteqcc") == std::string::npos)
            QSKIP("fteqcc is not installed");
        tree().write("mod/progs.src", "progs.dat\ndefs.qc\nworld.qc\nsub/ai.qc\n");
        tree().write("mod/defs.qc", "entity self;\nfloat time;\nvoid(string s) dprint = #25;\nvoid() main;\n");
        tree().write("mod/world.qc", "void() main =\n{\n\tdprint(\"hello\\n\");\n};\n");
        tree().write("mod/sub/ai.qc", "float(float a) Check =\n{\n\tif (a)\n\t\treturn 1;\n};\n"
                                      "void() Run =\n{\n\tlocal float x;\n\tdprint(Check(1));\n};\n");
        QVERIFY(start());
        compileAndWait();
        const int error = rowWith("error:"), warning = rowWith("warning:");
        QVERIFY2(error >= 0 && warning >= 0, qPrintable(output()->heading()));
        QCOMPARE(output()->resultRow(error).file, mod() + "/sub/ai.qc");
        QCOMPARE(output()->resultRow(error).line, 9);
        QVERIFY(rowText(error).contains("type mismatch"));
        QCOMPARE(output()->resultRow(error + 1).severity, qc::Severity::Note);
        QCOMPARE(output()->resultRow(error + 1).file, mod() + "/defs.qc");
        QCOMPARE(output()->resultRow(warning).severity, qc::Severity::Warning);
        QVERIFY2(lastRow().startsWith("1 error, 1 warning, exit code 1, "), qPrintable(lastRow()));
        doubleClickResultRow(error);
        QCOMPARE(editedFile(*form_), mod() + "/sub/ai.qc");
        QCOMPARE(selectedText(), QString("\tdprint(Check(1));"));
    }
};

QTEST_MAIN(Compile)
#include "tst_compile.moc"
