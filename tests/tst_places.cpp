// The mod's root seen from a folder below it, what the window remembers between starts, and
// the file lists following the edited file.
#include "widgettesting.h"

#include "lists/directorylistbox.h"
#include "lists/filelistbox.h"
#include "lists/outputlist.h"
#include "panes/textpane.h"
#include "settings/settings.h"
#include "symbols/projectsymbols.h"
#include "symbols/symbolnavigator.h"
#include "tools/programs.h"
#include "ui/notebook.h"

#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QSplitter>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>
#include <filesystem>

using namespace vardo;
using namespace vardo::testing;

namespace {

// A mod with its source list at the top and a monster in a folder below.
void writeMod(const TempTree &tree, const std::string &mod)
{
    tree.makeDirectory(mod);
    tree.makeDirectory(mod + "/monsters");
    tree.write(mod + "/progs.src", "progs.dat\ndefs.qc\nmonsters/knight.qc\nmonsters/ogre.qc\n");
    tree.write(mod + "/defs.qc", "float AS_MELEE = 3;\n");
    tree.write(mod + "/monsters/knight.qc", "void() knight_melee = {};\n");
    tree.write(mod + "/monsters/ogre.qc",
               "void() ogre_melee =\n{\n\tself.attack_state = AS_MELEE;\n\tknight_melee();\n};\n");
}

// Puts the caret in a line (from 0) at the first character of `text`.
void caretOn(TextPane *pane, int line, const QString &text)
{
    const QTextBlock block = pane->document()->findBlockByNumber(line);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + static_cast<int>(block.text().indexOf(text)));
    pane->setTextCursor(cursor);
    pane->setFocus();
}

QString editCaption(const TForm1 &form)
{
    return form.Manager->tabText(TForm1::EditPage);
}

QStringList items(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// What a list shows when the pointer rests on a row.
QString tooltipOfRow(QAbstractItemView *list, int row)
{
    QToolTip::hideText();
    const QPoint at(list->viewport()->width() / 2, list->visualRect(list->model()->index(row, 0)).center().y());
    QHelpEvent event(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

class Places : public QObject {
    Q_OBJECT

private slots:
    void aFolderBelowTheRootWorksOnTheWholeMod()
    {
        CurrentDirectoryGuard guard;
        TempTree tree;
        ErrorBoxRecorder errors;
        writeMod(tree, "mod");
        const std::string monsters = tree / "mod/monsters";
        auto form = startForm(monsters);
        QVERIFY(form);
        QCOMPARE(form->projectRoot(), tree / "mod");
        QVERIFY(!form->rootName->isHidden());
        QCOMPARE(form->rootName->text(), QStringLiteral("Root: mod"));
        QTRY_COMPARE(form->symbols->symbols().index().fileCount(), std::size_t(3));

        doubleClickRow(form->qclista, rowOf(form->qclista, QStringLiteral("ogre.qc")));
        QCOMPARE(editCaption(*form), QStringLiteral("monsters/ogre.qc"));
        QVERIFY(form->symbols->hoverText({QStringLiteral("ogre_melee"), false, 0, 7})
                    .contains(QLatin1String("monsters/ogre.qc:1")));
        caretOn(form->vardo, 2, QStringLiteral("AS_MELEE"));
        QTest::keyClick(form->vardo, Qt::Key_F12);
        QCOMPARE(editedFile(*form), tree / "mod/defs.qc");
        QCOMPARE(editCaption(*form), QStringLiteral("defs.qc"));
        // The jump leaves the working directory alone; the list has no row of the file.
        QCOMPARE(tools::workingDirectory(), monsters);
        QCOMPARE(form->dir->directory(), monsters);
        QCOMPARE(form->qclista->selectedFilePath(), monsters + "/ogre.qc");
        // A file the list shows gets its row selected.
        QTest::keyClick(form->vardo, Qt::Key_Left, Qt::AltModifier);
        caretOn(form->vardo, 3, QStringLiteral("knight_melee"));
        QTest::keyClick(form->vardo, Qt::Key_F12);
        QCOMPARE(editedFile(*form), monsters + "/knight.qc");
        QCOMPARE(form->qclista->selectedFilePath(), monsters + "/knight.qc");

        // At the root itself there is no other root to show; tabs still name files from it.
        form->dir->changeDirectory(tree / "mod");
        QVERIFY(form->rootName->isHidden());
        QCOMPARE(editCaption(*form), QStringLiteral("monsters/knight.qc"));
        QVERIFY(errors.texts.isEmpty());
    }

    // The corpus is there in a development checkout only.
    void theRereleaseFromItsMonstersFolder()
    {
        const std::filesystem::path folder = SHARED_CORPUS "/rerelease/quakec";
        if (!std::filesystem::is_directory(folder / "monsters"))
            QSKIP("the 2021 re-release sources are not here");
        const std::string mod = std::filesystem::canonical(folder).string();
        CurrentDirectoryGuard guard;
        auto form = startForm(mod + "/monsters");
        QVERIFY(form);
        QCOMPARE(form->projectRoot(), mod);
        QTRY_VERIFY_WITH_TIMEOUT(!form->symbols->symbols().index().definitions("AS_MELEE").empty(), 30000);
        doubleClickRow(form->qclista, rowOf(form->qclista, QStringLiteral("fiend.qc")));
        caretOn(form->vardo, 267, QStringLiteral("AS_MELEE"));
        QTest::keyClick(form->vardo, Qt::Key_F12);
        QCOMPARE(editedFile(*form), mod + "/defs.qc");
        QCOMPARE(form->vardo->textCursor().selectedText(), QStringLiteral("AS_MELEE"));
    }

    void placesAndRootsComeBackAfterARestart()
    {
        CurrentDirectoryGuard guard;
        TempTree tree;
        writeMod(tree, "a");
        writeMod(tree, "b");
        tree.makeDirectory("plain");
        const QString a = QString::fromStdString(tree / "a"), b = QString::fromStdString(tree / "b");
        auto form = startForm(tree / "a/monsters");
        QVERIFY(form);
        QCOMPARE(items(form->roots), QStringList{a});
        // A folder without a source list is no root to remember.
        form->dir->changeDirectory(tree / "plain");
        form->dir->changeDirectory(tree / "b");
        QCOMPARE(items(form->roots), (QStringList{b, a}));
        const QRect place(40, 50, 700, 480);
        form->setGeometry(place);
        form->output->show();
        form->Splitter1->setSizes({150, 250});
        const QList<int> sizes = form->Splitter1->sizes();
        QVERIFY(form->close());
        form.reset();
        QCOMPARE(TForm1::lastWorkingDirectory(), tree / "b");

        form = startForm(tree / "plain", StartSettings::Kept);
        QVERIFY(form);
        QCOMPARE(form->geometry(), place);
        form->output->show();
        // Within rounding: the split is scaled to the splitter's height.
        QVERIFY(std::abs(form->Splitter1->sizes().at(0) - sizes.at(0)) <= 3);
        QCOMPARE(items(form->roots), (QStringList{b, a}));
        // Choosing a root goes there; the drop-down offers, it does not show a choice.
        emit form->roots->activated(1);
        QCOMPARE(form->dir->directory(), tree / "a");
        QCOMPARE(form->roots->currentIndex(), -1);
        QCOMPARE(items(form->roots), (QStringList{a, b}));
    }

    void aBrokenSettingsFileNeitherStopsTheStartNorIsOverwritten()
    {
        CurrentDirectoryGuard guard;
        TempTree tree;
        writeMod(tree, "mod");
        const std::string path = settingsFilePath().toStdString();
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        const std::string garbage("\x01\xff\0[[[\nno settings here\n", 24);
        tree.write("garbage", garbage);
        std::filesystem::copy_file(tree / "garbage", path, std::filesystem::copy_options::overwrite_existing);
        auto form = startForm(tree / "mod", StartSettings::Kept);
        QVERIFY(form);
        QCOMPARE(items(form->roots), QStringList{QString::fromStdString(tree / "mod")});
        form->dir->changeDirectory(tree / "mod/monsters");
        QVERIFY(form->close());
        QCOMPARE(readFile(path), garbage);
    }

    void cutNamesShowWholeOnTheirRows()
    {
        CurrentDirectoryGuard guard;
        TempTree tree;
        const std::string longName = "a_name_far_too_long_for_the_narrow_list_at_the_left.qc";
        tree.write("a.qc", "");
        tree.write(longName, "");
        tree.makeDirectory("a_folder_whose_name_is_far_too_long_for_the_list");
        auto form = startForm(tree.path());
        QVERIFY(form);
        const QString whole = QString::fromStdString(longName);
        QCOMPARE(tooltipOfRow(form->qclista, rowOf(form->qclista, whole)), whole);
        // A row shown whole leaves the tooltip to the list's own hint.
        QCOMPARE(tooltipOfRow(form->qclista, rowOf(form->qclista, QStringLiteral("a.qc"))), form->qclista->toolTip());
        form->TabbedNotebook1->setCurrentIndex(1);
        QCOMPARE(tooltipOfRow(form->listado, rowOf(form->listado, whole)), whole);
        form->Manager->setCurrentIndex(TForm1::NavPage);
        const QString folder = QStringLiteral("a_folder_whose_name_is_far_too_long_for_the_list");
        QCOMPARE(tooltipOfRow(form->dir, rowOf(form->dir, folder)), folder);
    }
};

QTEST_MAIN(Places)
#include "tst_places.moc"
