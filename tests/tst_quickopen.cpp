// Quick open: Ctrl+P over the project's files, typed letters, Enter and Esc.
#include "widgettesting.h"

#include "core/base/paths.h"
#include "panes/textpane.h"
#include "quickopen/quickopen.h"
#include "ui/notebook.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <optional>

using namespace vardo;
using namespace vardo::testing;

class QuickOpenTest : public QObject {
    Q_OBJECT

private:
    std::optional<CurrentDirectoryGuard> guard_;
    std::unique_ptr<TempTree> tree_;
    std::unique_ptr<TForm1> form_;

    QuickOpen *popup() const { return form_->quickOpen; }
    QLineEdit *filter() const { return popup()->findChild<QLineEdit *>(); }
    QListWidget *matches() const { return popup()->findChild<QListWidget *>(); }
    void popUp()
    {
        QTest::keyClick(form_.get(), Qt::Key_P, Qt::ControlModifier);
        QVERIFY(popup()->isVisible());
        QVERIFY(filter()->hasFocus());
        QTRY_VERIFY(!popup()->isListing());
    }
    void choose(const char *typed)
    {
        popUp();
        QTest::keyClicks(filter(), typed);
        QTest::keyClick(filter(), Qt::Key_Return);
        QVERIFY(!popup()->isVisible());
    }

private slots:
    void init()
    {
        guard_.emplace();
        tree_ = std::make_unique<TempTree>();
        for (const char *name : {"mod", "mod/sub", "mod/sub/x", "mod/notes", "mod/.git", "mod/maps"})
            tree_->makeDirectory(name);
        tree_->write("mod/progs.src", "progs.dat\nsub/ai.qc\ndefs.qc\n");
        tree_->write("mod/defs.qc", "float time;\n");
        tree_->write("mod/sub/ai.qc", "void() ai =\n{\n};\n");
        tree_->write("mod/zzz.qc", "");
        tree_->write("mod/notes/readme.txt", "notes\n");
        tree_->write("mod/.git/hidden.qc", "");
        tree_->write("mod/maps/e1m1.bsp", "");
    }
    void cleanup()
    {
        form_.reset();
        tree_.reset();
        guard_.reset();
    }

    void listsTheProjectSourceListFirst()
    {
        form_ = startForm(*tree_ / "mod/sub/x");
        QVERIFY(form_);
        popUp();
        QStringList files;
        for (const std::string &file : popup()->files())
            files << QString::fromStdString(file);
        QCOMPARE(files, (QStringList{"sub/ai.qc", "defs.qc", "progs.src", "zzz.qc", "notes/readme.txt"}));
        QCOMPARE(matches()->count(), 5);
        // It stays over the window as the window changes size.
        form_->resize(500, 400);
        QCOMPARE(popup()->geometry(), QRect(62, 40, 375, 266));
        QTest::keyClicks(filter(), "rdm");
        QCOMPARE(matches()->count(), 1);
        QCOMPARE(matches()->item(0)->text(), QString("notes/readme.txt"));
        // Esc puts it away and leaves everything as it was.
        QTest::keyClick(filter(), Qt::Key_Escape);
        QVERIFY(!popup()->isVisible());
        QVERIFY(editedFile(*form_).empty() && generalFile(*form_).empty());
        QCOMPARE(paths::currentDirectory(), *tree_ / "mod/sub/x");
    }

    void enterOpensAsTheListsWould()
    {
        form_ = startForm(*tree_ / "mod");
        QVERIFY(form_);
        choose("ai");
        QCOMPARE(editedFile(*form_), *tree_ / "mod/sub/ai.qc");
        QCOMPARE(form_->Manager->currentIndex(), int(TForm1::EditPage));
        // The edited text is saved before the next file opens.
        QTest::keyClicks(form_->vardo, "// mine");
        QTest::keyClick(form_->vardo, Qt::Key_Return);
        choose("defs");
        QCOMPARE(editedFile(*form_), *tree_ / "mod/defs.qc");
        QCOMPARE(readFile(*tree_ / "mod/sub/ai.qc"), std::string("// mine\nvoid() ai =\n{\n};\n"));

        // Other files go to the general pane; a row picked with the arrow keys.
        popUp();
        QTest::keyClicks(filter(), "e");
        QCOMPARE(matches()->currentRow(), 0);
        const int readme = matches()->row(matches()->findItems("notes/readme.txt", Qt::MatchExactly).value(0));
        for (int row = 0; row < readme; ++row)
            QTest::keyClick(filter(), Qt::Key_Down);
        QTest::keyClick(filter(), Qt::Key_Return);
        QCOMPARE(generalFile(*form_), *tree_ / "mod/notes/readme.txt");
        QCOMPARE(form_->Manager->currentIndex(), int(TForm1::NavPage));
        QCOMPARE(editedFile(*form_), *tree_ / "mod/defs.qc");
        QCOMPARE(paths::currentDirectory(), *tree_ / "mod");
    }
};

QTEST_MAIN(QuickOpenTest)
#include "tst_quickopen.moc"
