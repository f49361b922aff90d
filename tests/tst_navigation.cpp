#include "widgettesting.h"

#include "core/base/paths.h"
#include "core/files/volumes.h"
#include "doc/qtext.h"
#include "lists/directorylistbox.h"
#include "lists/drivecombobox.h"
#include "lists/filelistbox.h"
#include "lists/namelist.h"
#include "lists/rowdelegate.h"
#include "panes/textpane.h"
#include "ui/notebook.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <QTest>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace vardo;
using namespace vardo::testing;

namespace {

constexpr int kIndentRole = RowDelegate::kIndentRole;

std::string realPath(const std::string &path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? resolved : path;
}

// Everything the navigation shows, one line per part, so a comparison names what moved.
QStringList snapshot(const TForm1 &form, bool withHighlight = true)
{
    return {"dir: " + displayText(form.dir->directory()),
            "rows: " + rowTexts(form.dir).join('|'),
            "highlighted: " + (withHighlight ? QString::number(form.dir->currentRow()) : "-"),
            "qclista: " + rowTexts(form.qclista).join('|'),
            "listado: " + rowTexts(form.listado).join('|'),
            "caption: " + form.windowTitle(),
            "cwd: " + displayText(paths::currentDirectory())};
}

void showNavPage(TForm1 &form)
{
    form.Manager->setCurrentIndex(TForm1::NavPage);
    QApplication::processEvents();
}

void showAllPage(TForm1 &form)
{
    form.TabbedNotebook1->setCurrentIndex(1);
    QApplication::processEvents();
}

// Counts the events of the lists beside the program's own handlers.
struct EventLog {
    QStringList events;
    int dirChanges = 0;
    int driveChanges = 0;

    void record(FileListBox *list, void (FileListBox::*event)(), const QString &name)
    {
        QObject::connect(list, event, list,
                         [this, list, name] { events << name + ":" + QString::number(list->selectedIndex()); });
    }
    void watch(TForm1 &form)
    {
        record(form.qclista, &FileListBox::fileClicked, "click");
        record(form.qclista, &FileListBox::fileChanged, "change");
        record(form.qclista, &FileListBox::fileDoubleClicked, "dblclick");
        record(form.listado, &FileListBox::fileClicked, "all-click");
        record(form.listado, &FileListBox::fileChanged, "all-change");
        QObject::connect(form.dir, &DirectoryListBox::directoryChanged, form.dir, [this] { ++dirChanges; });
        QObject::connect(form.drive, &DriveComboBox::volumeChanged, form.drive, [this] { ++driveChanges; });
    }
    QStringList take() { return std::exchange(events, {}); }
};

// A project directory with QuakeC files, other files, hidden entries, subdirectories and a
// link to a directory elsewhere in the tree.
struct Project {
    TempTree tree;
    std::string base = realPath(tree.path());
    std::string proj = base + "/proj";
    std::string target = base + "/target";

    Project()
    {
        tree.makeDirectory("proj");
        for (const char *name : {"proj/Alpha", "proj/beta", "proj/gamma", "proj/.git", "target"})
            tree.makeDirectory(name);
        tree.write("proj/DEFS.QC", "defs");
        tree.write("proj/world.qc", "world");
        tree.write("proj/readme.txt", "readme");
        tree.write("proj/MAKEFILE", "all:");
        tree.write("proj/.hidden.qc", "hidden");
        tree.write("proj/beta/b.qc", "b");
        tree.write("proj/beta/B2.txt", "b2");
        tree.write("target/t.qc", "t");
        (void)::symlink(target.c_str(), (proj + "/linked").c_str());
    }
};

} // namespace

class Navigation : public QObject {
    Q_OBJECT
private slots:
    void directoryRowsAndOpening();
    void fileListEvents();
    void selectedFilePath();
    void typingAndRefreshing();
    void typeAheadFindsWhatTheToolkitWould();
    void failedOpeningChangesNothing();
    void unreadableDirectory();
    void driveSelector();
};

void Navigation::directoryRowsAndOpening()
{
    CurrentDirectoryGuard guard;
    Project p;
    (void)::symlink(".", (p.proj + "/here").c_str());
    EventLog log;
    auto form = startForm(p.proj);
    QVERIFY(form);
    log.watch(*form);
    showNavPage(*form);
    showAllPage(*form);
    log.take();
    DirectoryListBox *dir = form->dir;

    const QStringList above = displayText(p.proj).split('/', Qt::SkipEmptyParts);
    const int current = static_cast<int>(above.size());
    QCOMPARE(rowTexts(dir), (QStringList{"/"} + above + QStringList{"Alpha", "beta", "gamma", "here", "linked"}));
    QCOMPARE(dir->currentRow(), current);
    QVERIFY(dir->selectionModel()->isRowSelected(current));
    for (int row = 0; row <= current; ++row)
        QCOMPARE(dir->model()->index(row, 0).data(kIndentRole).toInt(), 2 + 4 * row);
    QCOMPARE(dir->model()->index(current + 1, 0).data(kIndentRole).toInt(), 6 + 4 * current);
    const auto iconOf = [dir](int row) {
        return dir->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
    };
    const auto standard = [dir](QStyle::StandardPixmap icon) { return dir->style()->standardIcon(icon).pixmap(16).toImage(); };
    QVERIFY(standard(QStyle::SP_DirOpenIcon) != standard(QStyle::SP_DirClosedIcon));
    for (int row : {0, current})
        QCOMPARE(iconOf(row), standard(QStyle::SP_DirOpenIcon));
    QCOMPARE(iconOf(current + 1), standard(QStyle::SP_DirClosedIcon));
    QCOMPARE(iconOf(dir->count() - 1), standard(QStyle::SP_DirClosedIcon));
    QCOMPARE(rowTexts(form->qclista), (QStringList{"DEFS.QC", "world.qc"}));
    QCOMPARE(rowTexts(form->listado), (QStringList{"DEFS.QC", "MAKEFILE", "readme.txt", "world.qc"}));
    QCOMPARE(form->windowTitle(), ":: V A R D O :: - " + displayText(p.proj));
    QCOMPARE(paths::currentDirectory(), p.proj);

    // A single click or an arrow key moves the highlight and nothing else.
    const QStringList start = snapshot(*form);
    const QStringList unhighlighted = snapshot(*form, false);
    const int beta = rowOf(dir, "beta");
    clickRow(dir, beta);
    QCOMPARE(dir->currentRow(), beta);
    QTest::keyClick(dir, Qt::Key_Down);
    QCOMPARE(dir->currentRow(), beta + 1);
    QCOMPARE(snapshot(*form, false), unhighlighted);
    QCOMPARE(log.dirChanges, 0);
    QCOMPARE(log.take(), QStringList{});

    // Opening the current row, by double click or Enter, changes nothing and raises nothing;
    // neither does a link that leads back to the current directory.
    doubleClickRow(dir, current);
    dir->setCurrentRow(current);
    QTest::keyClick(dir, Qt::Key_Return);
    doubleClickRow(dir, rowOf(dir, "here"));
    dir->setCurrentRow(current);
    QCOMPARE(snapshot(*form), start);
    QCOMPARE(log.dirChanges, 0);
    QCOMPARE(log.take(), QStringList{});

    // A double click on a subdirectory moves everything there together.
    doubleClickRow(dir, beta);
    const std::string betaPath = p.proj + "/beta";
    QCOMPARE(dir->directory(), betaPath);
    QCOMPARE(rowTexts(dir), (QStringList{"/"} + above + QStringList{"beta"}));
    QCOMPARE(dir->currentRow(), current + 1);
    QCOMPARE(rowTexts(form->qclista), QStringList{"b.qc"});
    QCOMPARE(rowTexts(form->listado), (QStringList{"b.qc", "B2.txt"}));
    QCOMPARE(form->windowTitle(), ":: V A R D O :: - " + displayText(betaPath));
    QCOMPARE(paths::currentDirectory(), betaPath);
    QCOMPARE(log.dirChanges, 1);
    QCOMPARE(log.take(), (QStringList{"change:-1", "all-change:-1"}));

    // Enter on an outer row goes back up.
    QTest::keyClick(dir, Qt::Key_Up);
    QTest::keyClick(dir, Qt::Key_Return);
    QCOMPARE(snapshot(*form), start);
    QCOMPARE(log.dirChanges, 2);

    // A link to a directory is entered; the directory is then the one the system reports.
    dir->setCurrentRow(rowOf(dir, "linked"));
    QTest::keyClick(dir, Qt::Key_Enter);
    QCOMPARE(dir->directory(), p.target);
    QCOMPARE(rowTexts(form->qclista), QStringList{"t.qc"});
    QCOMPARE(paths::currentDirectory(), p.target);

    // The root: its row is the current one, subdirectories follow it.
    doubleClickRow(dir, 0);
    QCOMPARE(dir->directory(), std::string("/"));
    QCOMPARE(dir->currentRow(), 0);
    QCOMPARE(rowText(dir, 0), QStringLiteral("/"));
    QVERIFY(rowOf(dir, "tmp") > 0 || rowOf(dir, "usr") > 0);
    QCOMPARE(dir->model()->index(1, 0).data(kIndentRole).toInt(), 10);
    QCOMPARE(form->windowTitle(), QStringLiteral(":: V A R D O :: - /"));
    QCOMPARE(paths::currentDirectory(), std::string("/"));
}

void Navigation::fileListEvents()
{
    CurrentDirectoryGuard guard;
    Project p;
    p.tree.write("proj/zeta.qc", "zeta");
    EventLog log;
    auto form = startForm(p.proj);
    QVERIFY(form);
    log.watch(*form);
    FileListBox *qc = form->qclista;
    QCOMPARE(rowTexts(qc), (QStringList{"DEFS.QC", "world.qc", "zeta.qc"}));

    clickRow(qc, 0);
    QCOMPARE(log.take(), (QStringList{"click:0", "change:0"}));
    // The program's preview still ran behind the counting.
    QCOMPARE(form->veer->wholeText(), QStringLiteral("defs"));
    clickRow(qc, 0);
    QCOMPARE(log.take(), QStringList{"click:0"});
    clickRow(qc, 2);
    QCOMPARE(log.take(), (QStringList{"click:2", "change:2"}));
    clickRow(qc, 0, Qt::RightButton);
    QCOMPARE(log.take(), QStringList{});
    QCOMPARE(qc->selectedIndex(), 2);
    doubleClickRow(qc, 1);
    QCOMPARE(log.take(), (QStringList{"click:1", "change:1", "dblclick:1"}));
    QCOMPARE(editedFile(*form), p.proj + "/world.qc");
    doubleClickRow(qc, 1);
    QCOMPARE(log.take(), (QStringList{"click:1", "dblclick:1"}));
    QTest::keyClick(qc, Qt::Key_Down);
    QCOMPARE(log.take(), (QStringList{"click:2", "change:2"}));
    QTest::keyClick(qc, Qt::Key_Down); // already on the last entry
    QCOMPARE(log.take(), QStringList{});

    // Every read raises the change event once, with nothing selected.
    showAllPage(*form);
    QCOMPARE(log.take(), QStringList{"all-change:-1"});
    showNavPage(*form);
    doubleClickRow(form->dir, rowOf(form->dir, "beta"));
    QCOMPARE(log.take(), (QStringList{"change:-1", "all-change:-1"}));
    doubleClickRow(form->dir, rowOf(form->dir, "proj"));
    log.take();

    // The keyboard in the all-files list: one click per move, none when nothing moves.
    FileListBox *all = form->listado;
    QCOMPARE(rowTexts(all).size(), 5);
    clickRow(all, 0);
    QCOMPARE(log.take(), (QStringList{"all-click:0", "all-change:0"}));
    QCOMPARE(form->test->wholeText(), QStringLiteral("defs"));
    QTest::keyClick(all, Qt::Key_Down);
    QTest::keyClick(all, Qt::Key_Down);
    QCOMPARE(log.take(), (QStringList{"all-click:1", "all-change:1", "all-click:2", "all-change:2"}));
    QTest::keyClick(all, Qt::Key_End);
    QTest::keyClick(all, Qt::Key_Down);
    QCOMPARE(log.take(), (QStringList{"all-click:4", "all-change:4"}));
    QTest::keyClick(all, Qt::Key_PageUp);
    QCOMPARE(log.take(), (QStringList{"all-click:0", "all-change:0"}));
}

void Navigation::selectedFilePath()
{
    CurrentDirectoryGuard guard;
    Project p;
    // A name that is not UTF-8 and a decoy whose name is what the screen shows for it.
    const std::string latin1 = p.target + "/caf\xe9.qc";
    p.tree.write("target/caf\xe9.qc", "the real one");
    p.tree.write("target/caf\xef\xbf\xbd.qc", "the decoy");
    // The temporary directory's own clean-up goes by decoded names and would miss this one.
    const std::unique_ptr<const std::string, void (*)(const std::string *)> removeLatin1(
        &latin1, [](const std::string *path) { ::unlink(path->c_str()); });
    auto form = startForm(p.proj);
    QVERIFY(form);
    FileListBox *qc = form->qclista;
    QCOMPARE(qc->selectedFilePath(), std::string());
    clickRow(qc, 1);
    QCOMPARE(qc->selectedFilePath(), p.proj + "/world.qc");

    showNavPage(*form);
    doubleClickRow(form->dir, rowOf(form->dir, "linked"));
    QCOMPARE(qc->selectedFilePath(), std::string());
    QCOMPARE(qc->count(), 3);
    QCOMPARE(rowText(qc, 0), QString::fromUtf8("caf\uFFFD.qc"));
    QCOMPARE(rowText(qc, 1), rowText(qc, 0));
    clickRow(qc, 0);
    QCOMPARE(qc->selectedFilePath(), latin1);
    QCOMPARE(form->veer->wholeText(), QStringLiteral("the real one"));
    doubleClickRow(qc, 0);
    QCOMPARE(editedFile(*form), latin1);
    QCOMPARE(form->vardo->wholeText(), QStringLiteral("the real one"));
    clickRow(qc, 1);
    QCOMPARE(form->veer->wholeText(), QStringLiteral("the decoy"));

    // At the root the name follows the separator directly.
    showNavPage(*form);
    showAllPage(*form);
    doubleClickRow(form->dir, 0);
    FileListBox *all = form->listado;
    QCOMPARE(all->selectedFilePath(), std::string());
    if (all->count() == 0)
        QSKIP("the root holds no file to select");
    // Selected without a click: the click would load whatever file that is.
    all->setCurrentRow(0);
    QCOMPARE(all->selectedFilePath(), "/" + rowText(all, 0).toStdString());
}

void Navigation::typingAndRefreshing()
{
    CurrentDirectoryGuard guard;
    Project p;
    EventLog log;
    auto form = startForm(p.proj);
    QVERIFY(form);
    showAllPage(*form);
    log.watch(*form);

    // Typing the start of a name selects its entry as the arrow keys do.
    FileListBox *all = form->listado;
    all->setFocus();
    QTest::keyClick(all, Qt::Key_R);
    QCOMPARE(log.take(), (QStringList{"all-click:2", "all-change:2"}));
    QCOMPARE(all->selectedFilePath(), p.proj + "/readme.txt");
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    QTest::keyClick(all, Qt::Key_W);
    QCOMPARE(all->selectedFilePath(), p.proj + "/world.qc");

    // A refresh follows the selected file to its new row, and leaves nothing selected once
    // the file is gone.
    FileListBox *qc = form->qclista;
    clickRow(qc, rowOf(qc, "world.qc"));
    p.tree.write("proj/apple.qc", "apple");
    qc->refresh();
    QCOMPARE(rowTexts(qc), (QStringList{"apple.qc", "DEFS.QC", "world.qc"}));
    QCOMPARE(qc->selectedIndex(), 2);
    QCOMPARE(qc->currentRow(), 2);
    QCOMPARE(qc->selectedFilePath(), p.proj + "/world.qc");
    QVERIFY(::unlink((p.proj + "/world.qc").c_str()) == 0);
    qc->refresh();
    QCOMPARE(rowTexts(qc), (QStringList{"apple.qc", "DEFS.QC"}));
    QCOMPARE(qc->selectedIndex(), -1);
    QCOMPARE(qc->selectedFilePath(), std::string());
}

// The type-ahead's own search answers as the toolkit's search of the display texts does,
// from every starting row, with wrapping, in any case, for names that are not ASCII too.
void Navigation::typeAheadFindsWhatTheToolkitWould()
{
    NameListModel model;
    model.setNames({"Alpha.qc", "\xc3\x84rger.qc", "beta", "\xff\xfe.dat", "ALPHABET", "a", "zz", "\xc3\xa4rm"});
    const Qt::MatchFlags flags = Qt::MatchStartsWith | Qt::MatchWrap;
    for (const QString &typed : {QStringLiteral("a"), QStringLiteral("AL"), QStringLiteral("alphab"), QStringLiteral("b"),
                                 QStringLiteral("z"), QStringLiteral("zzz"), QStringLiteral("q"), QStringLiteral("\u00e4"),
                                 QString(QChar(0xfffd))}) {
        for (int start = 0; start < model.rowCount(); ++start) {
            const QModelIndex from = model.index(start);
            QCOMPARE(model.match(from, Qt::DisplayRole, typed, 1, flags),
                     model.QAbstractItemModel::match(from, Qt::DisplayRole, typed, 1, flags));
        }
    }
}

void Navigation::failedOpeningChangesNothing()
{
    CurrentDirectoryGuard guard;
    Project p;
    p.tree.makeDirectory("proj/gone");
    p.tree.makeDirectory("proj/loop");
    (void)::symlink("selfloop", (p.proj + "/selfloop").c_str());
    EventLog log;
    auto form = startForm(p.proj);
    QVERIFY(form);
    showNavPage(*form);
    showAllPage(*form);
    log.watch(*form);
    ErrorBoxRecorder errors;
    DirectoryListBox *dir = form->dir;
    // A link that points at itself is no directory.
    QCOMPARE(rowOf(dir, "selfloop"), -1);

    // The directory vanished after it was listed.
    QVERIFY(::rmdir((p.proj + "/gone").c_str()) == 0);
    clickRow(dir, rowOf(dir, "gone"));
    const QStringList before = snapshot(*form);
    doubleClickRow(dir, rowOf(dir, "gone"));
    QCOMPARE(errors.texts, QStringList{"File not found."});
    QCOMPARE(snapshot(*form), before);

    // The directory became a link loop after it was listed.
    QVERIFY(::rmdir((p.proj + "/loop").c_str()) == 0);
    QVERIFY(::symlink("loop", (p.proj + "/loop").c_str()) == 0);
    dir->setCurrentRow(rowOf(dir, "loop"));
    const QStringList beforeLoop = snapshot(*form);
    QTest::keyClick(dir, Qt::Key_Return);
    QCOMPARE(errors.texts, (QStringList{"File not found.", "Invalid filename."}));
    QCOMPARE(snapshot(*form), beforeLoop);
    QCOMPARE(log.dirChanges, 0);
    QCOMPARE(log.take(), QStringList{});

    // The event loop goes on: the next opening works.
    doubleClickRow(dir, rowOf(dir, "beta"));
    QCOMPARE(dir->directory(), p.proj + "/beta");
    QCOMPARE(errors.texts.size(), 2);
}

void Navigation::unreadableDirectory()
{
    if (::geteuid() == 0)
        QSKIP("root reads every directory");
    CurrentDirectoryGuard guard;
    Project p;
    p.tree.makeDirectory("proj/locked");
    QVERIFY(::chmod((p.proj + "/locked").c_str(), 0311) == 0);
    auto form = startForm(p.proj);
    QVERIFY(form);
    showNavPage(*form);
    ErrorBoxRecorder errors;
    const QStringList before = snapshot(*form, false);
    form->dir->setCurrentRow(rowOf(form->dir, "locked"));
    QTest::keyClick(form->dir, Qt::Key_Return);
    QCOMPARE(errors.texts, QStringList{"File access denied."});
    QCOMPARE(snapshot(*form, false), before);
}

void Navigation::driveSelector()
{
    CurrentDirectoryGuard guard;
    Project p;
    p.tree.makeDirectory("stick");
    p.tree.write("stick/s.qc", "s");
    EventLog log;
    auto form = startForm(p.proj);
    QVERIFY(form);
    log.watch(*form);
    showNavPage(*form);
    DriveComboBox *drive = form->drive;
    QVERIFY(drive->count() > 0);
    QCOMPARE(drive->count(), static_cast<int>(drive->volumes().size()));
    const int own = nav::volumeIndexOf(drive->volumes(), p.proj);
    QVERIFY(own >= 0);
    QCOMPARE(drive->currentIndex(), own);
    QCOMPARE(drive->selectedMountPoint(), drive->volumes()[static_cast<std::size_t>(own)].mountPoint);
    QCOMPARE(form->dir->directory(), p.proj);
    // The first display raises the change event once, which finds the volume unchanged.
    QCOMPARE(log.driveChanges, 1);
    QCOMPARE(log.dirChanges, 0);

    // Choosing the entry already selected moves nothing.
    int chosen = 0;
    connect(drive, &QComboBox::activated, this, [&chosen] { ++chosen; });
    const QStringList before = snapshot(*form);
    log.take();
    drive->showPopup();
    QTest::keyClick(drive->view(), Qt::Key_Return);
    QCOMPARE(chosen, 1);
    QCOMPARE(log.driveChanges, 2);
    QCOMPARE(snapshot(*form), before);
    QCOMPARE(log.dirChanges, 0);
    QCOMPARE(log.take(), QStringList{});

    // Another volume: the directory list moves to its mount point, and the rest follows.
    nav::Volume root, stick;
    root.mountPoint = "/";
    stick.mountPoint = p.base + "/stick";
    stick.kind = nav::Volume::Kind::Removable;
    drive->buildEntries({root, stick});
    QCOMPARE(drive->currentIndex(), 0);
    QTest::keyClick(drive, Qt::Key_Down);
    QCOMPARE(chosen, 2);
    // A different volume raises the change event twice; the second run finds nothing to do.
    QCOMPARE(log.driveChanges, 4);
    QCOMPARE(form->dir->directory(), stick.mountPoint);
    QCOMPARE(rowTexts(form->qclista), QStringList{"s.qc"});
    QCOMPARE(form->windowTitle(), ":: V A R D O :: - " + displayText(stick.mountPoint));
    QCOMPARE(paths::currentDirectory(), stick.mountPoint);
    QCOMPARE(drive->selectedMountPoint(), stick.mountPoint);
    QCOMPARE(log.dirChanges, 1);
    QCOMPARE(log.take(), QStringList{"change:-1"});
    QTest::keyClick(drive, Qt::Key_Up);
    QCOMPARE(form->dir->directory(), std::string("/"));
    QCOMPARE(log.dirChanges, 2);
}

QTEST_MAIN(Navigation)
#include "tst_navigation.moc"
