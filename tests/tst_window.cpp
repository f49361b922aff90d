#include "widgettesting.h"

#include "core/base/errors.h"
#include "core/base/paths.h"
#include "lists/directorylistbox.h"
#include "lists/drivecombobox.h"
#include "lists/filelistbox.h"
#include "lists/indexcombobox.h"
#include "lists/outputlist.h"
#include "panes/textpane.h"
#include "ui/errorbox.h"
#include "ui/notebook.h"
#include "ui/question.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

using namespace vardo;
using namespace vardo::testing;

class WindowTest : public QObject {
    Q_OBJECT

private:
    CurrentDirectoryGuard guard_;
    TempTree tree_;
    std::unique_ptr<TForm1> form_;

    QWidget *page(TabbedNotebook *notebook, int index) { return notebook->widget(index); }

private slots:
    void init() { form_ = startForm(tree_.path()); QVERIFY(form_); }
    void cleanup() { form_.reset(); }

    void everyComponentHasItsNameAndParent()
    {
        TForm1 &f = *form_;
        const QList<QPair<QObject *, QObject *>> parentage = {
            {f.Panel1, &f}, {f.TabbedNotebook1, f.Panel1}, {f.Panel2, &f},
            {f.HeaderControl1, f.Panel2}, {f.qccarranca, f.Panel2}, {f.Manager, f.Panel2},
            {f.Panel6, page(f.Manager, 0)}, {f.Panel7, f.Panel6}, {f.Panel8, f.Panel7},
            {f.drive, f.Panel8}, {f.auto_, f.Panel8}, {f.salvaman, f.Panel8}, {f.dir, f.Panel7},
            {f.test, f.Panel6}, {f.Panel9, page(f.Manager, 1)}, {f.editbar, f.Panel9},
            {f.Panel11, f.Panel9}, {f.HeaderControl2, page(f.Manager, 1)}, {f.com, page(f.Manager, 1)},
            {f.Splitter1, page(f.Manager, 1)}, {f.vardo, f.Splitter1}, {f.output, f.Splitter1},
            {f.TabbedNotebook2, page(f.Manager, 3)}, {f.PopupMenu1, &f}, {f.PopupMenu2, &f}};
        const QStringList names = {"Panel1", "TabbedNotebook1", "Panel2", "HeaderControl1", "qccarranca",
                                   "Manager", "Panel6", "Panel7", "Panel8", "drive", "auto", "salvaman",
                                   "dir", "test", "Panel9", "editbar", "Panel11", "HeaderControl2",
                                   "com", "Splitter1", "vardo", "output", "TabbedNotebook2", "PopupMenu1",
                                   "PopupMenu2"};
        for (qsizetype i = 0; i < parentage.size(); ++i) {
            QCOMPARE(parentage[i].first->objectName(), names[i]);
            QCOMPARE(parentage[i].first->parent(), parentage[i].second);
        }
        // Pages of a notebook are the components that fill them.
        QCOMPARE(page(f.TabbedNotebook1, 0), f.qclista);
        QCOMPARE(page(f.TabbedNotebook1, 1), f.listado);
        QCOMPARE(f.veer->parentWidget(), page(f.Manager, 2));
        QCOMPARE(f.qclista->objectName(), QString("qclista"));
        QCOMPARE(f.listado->objectName(), QString("listado"));
        QCOMPARE(f.veer->objectName(), QString("veer"));
        QCOMPARE(f.PopupMenu1->actions(), QList<QAction *>{f.openwithnotepad1});
        QCOMPARE(f.PopupMenu2->actions(), (QList<QAction *>{f.shellopen1, f.ExploreFolder1}));
        QCOMPARE(f.openwithnotepad1->objectName(), QString("openwithnotepad1"));
        QCOMPARE(f.ExploreFolder1->objectName(), QString("ExploreFolder1"));
        // The help panes are made when the Help page is first shown.
        QVERIFY(!f.Memos[0]);
        f.Manager->setCurrentIndex(TForm1::HelpPage);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(f.Memos[i]->objectName(), QString("Memo%1").arg(i + 1));
            QCOMPARE(page(f.TabbedNotebook2, i), f.Memos[i]);
        }
    }

    void captionsAndHints()
    {
        TForm1 &f = *form_;
        QCOMPARE(f.qccarranca->text(), QString("QCC!"));
        QCOMPARE(f.salvaman->text(), QString("Save Man -->"));
        QCOMPARE(f.auto_->text(), QString("autosave edit"));
        QCOMPARE(f.openwithnotepad1->text(), QString("open with notepad"));
        QCOMPARE(f.shellopen1->text(), QString("&shell open"));
        QCOMPARE(f.ExploreFolder1->text(), QString("&Explore Folder"));
        QCOMPARE(f.TabbedNotebook1->tabText(0), QString("&QC"));
        QCOMPARE(f.TabbedNotebook1->tabText(1), QString("&All"));
        QCOMPARE(f.TabbedNotebook1->toolTip(), QString("Qc files or General Files."));
        QCOMPARE(f.qclista->toolTip(), QString("Click->Save last & open new, DblClick->Save.. "));
        QCOMPARE(f.listado->toolTip(), QString("Can damage files, click only in text files!"));
        QCOMPARE(f.qccarranca->toolTip(), QString("Run the QCC app."));
        QCOMPARE(f.auto_->toolTip(), QString("The main swich. Not touch!"));
        QCOMPARE(f.salvaman->toolTip(), QString("Save the right panel as the \"all\" selected file."));
        QCOMPARE(f.dir->toolTip(), QString("Select the dir you want to work, here."));
        QVERIFY(f.test->toolTip().isEmpty());
        QVERIFY(f.vardo->toolTip().isEmpty());
        QCOMPARE(f.com->maxVisibleItems(), 20);
        QVERIFY(!f.com->isEditable());
        QVERIFY(!f.HeaderControl2->isEnabled());
    }

    void startState()
    {
        TForm1 &f = *form_;
        QCOMPARE(f.windowTitle(), ":: V A R D O :: - " + QString::fromStdString(tree_.path()));
        QCOMPARE(f.Manager->currentIndex(), 1);
        QStringList tabs;
        for (int i = 0; i < 4; ++i)
            tabs << f.Manager->tabText(i);
        QCOMPARE(tabs, (QStringList{"&Nav", "&Edit", "&View", "&Help"}));
        QCOMPARE(f.TabbedNotebook1->currentIndex(), 0);
        QVERIFY(f.auto_->isChecked());
        QVERIFY(f.vardo->wholeText().isEmpty());
        QVERIFY(f.veer->isReadOnly());
        QCOMPARE(f.veer->border(), TextPane::Border::Single);
        QVERIFY(editedFile(f).empty() && generalFile(f).empty());
        QCOMPARE(paths::currentDirectory(), tree_.path());
    }

    void uncaughtErrorsGoToTheErrorBox()
    {
        ErrorBoxRecorder boxes;
        bool rest = false;
        runGuarded([&] {
            throw IoError(5);
            rest = true;
        });
        runGuarded([] { throw AppError("Already ends."); });
        QCOMPARE(boxes.captions, (QStringList{":: Vardo ::", ":: Vardo ::"}));
        QCOMPARE(boxes.texts, (QStringList{"File access denied.", "Already ends."}));
        QVERIFY(!rest);
    }

    void altKeysSelectPagesAndTheMainNotebookWins()
    {
        TForm1 &f = *form_;
        f.Manager->setCurrentIndex(3);
        f.TabbedNotebook2->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::AltModifier);
        QCOMPARE(f.TabbedNotebook2->currentIndex(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::AltModifier);
        QCOMPARE(f.Manager->currentIndex(), 1);
        QCOMPARE(f.TabbedNotebook2->currentIndex(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
        QCOMPARE(f.TabbedNotebook1->currentIndex(), 1);
        // A help page's key does nothing while the help page is hidden.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_M, Qt::AltModifier);
        QCOMPARE(f.TabbedNotebook2->currentIndex(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);
        QCOMPARE(f.Manager->currentIndex(), 3);
        QCOMPARE(f.TabbedNotebook2->currentIndex(), 1); // the help notebook keeps its page

        // Tabs that show file names keep their pages' keys.
        f.Manager->setTabText(TForm1::EditPage, QStringLiteral("[ &Edit defs.qc]"));
        f.Manager->setTabText(TForm1::ViewPage, QStringLiteral("world.qc"));
        f.Manager->setTabText(TForm1::EditPage, QStringLiteral("defs.qc"));
        const QList<QPair<Qt::Key, int>> keys = {{Qt::Key_E, TForm1::EditPage}, {Qt::Key_H, TForm1::HelpPage},
                                                 {Qt::Key_V, TForm1::ViewPage}, {Qt::Key_N, TForm1::NavPage},
                                                 {Qt::Key_H, TForm1::HelpPage}, {Qt::Key_E, TForm1::EditPage}};
        for (const auto &[key, page] : keys) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
            QCOMPARE(f.Manager->currentIndex(), page);
        }
        QCOMPARE(f.TabbedNotebook2->currentIndex(), 1);
    }

    void arrowKeysWrapAroundTheNotebook()
    {
        QTabBar *bar = form_->Manager->tabBar();
        bar->setFocus();
        form_->Manager->setCurrentIndex(0);
        QTest::keyClick(bar, Qt::Key_Left);
        QCOMPARE(form_->Manager->currentIndex(), 3);
        QTest::keyClick(bar, Qt::Key_Down);
        QCOMPARE(form_->Manager->currentIndex(), 0);
        QTest::keyClick(bar, Qt::Key_Right);
        QTest::keyClick(bar, Qt::Key_Up);
        QCOMPARE(form_->Manager->currentIndex(), 0);
    }

    void tabMovesThroughTheControlsInOrder()
    {
        TForm1 &f = *form_;
        f.activateWindow();
        f.qclista->setFocus();
        QTRY_VERIFY(f.qclista->hasFocus());
        const QList<QWidget *> onEditPage = {f.qccarranca, f.Manager->tabBar(), f.com, f.vardo};
        for (QWidget *next : onEditPage) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        f.Manager->setCurrentIndex(0);
        f.Manager->tabBar()->setFocus();
        const QList<QWidget *> onNavPage = {f.dir, f.auto_, f.drive, f.salvaman, f.test};
        for (QWidget *next : onNavPage) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // The help panes, made later, join the chain after the help notebook's tabs.
        f.Manager->setCurrentIndex(TForm1::HelpPage);
        f.TabbedNotebook2->tabBar()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Memos[7]);
        f.Manager->setCurrentIndex(TForm1::NavPage);
        f.test->setFocus();
        // The editable panes take the Tab key as text.
        QTest::keyClick(f.test, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.test);
        QCOMPARE(f.test->wholeText(), QString("\t"));
    }

    void resizingKeepsTheCompilerButtonAtTheRightEdge()
    {
        TForm1 &f = *form_;
        auto gap = [&f] { return f.Panel2->width() - f.qccarranca->geometry().right() - 1; };
        const int before = gap();
        QCOMPARE(f.qccarranca->size(), QSize(58, 16));
        f.resize(f.width() + 200, f.height() + 50);
        QTest::qWait(1);
        QCOMPARE(gap(), before);
        QCOMPARE(f.Panel1->width(), 113);
    }

    void designSizes()
    {
        TForm1 &f = *form_;
        f.Manager->setCurrentIndex(3);
        f.resize(847, 537);
        QTest::qWait(1);
        QCOMPARE(f.TabbedNotebook2->size(), QSize(724, 485));
        QCOMPARE(f.Memos[7]->size(), QSize(716, 457));
        QCOMPARE(f.qccarranca->geometry(), QRect(627, 3, 58, 16));
        tree_.write("a.qc", "");
        f.qclista->read();
        f.com->addItem(QStringLiteral("void() entry ="));
        f.Manager->setCurrentIndex(0);
        const QList<QPair<QAbstractItemView *, int>> rows = {{f.dir, 16}, {f.qclista, 15}, {f.com->view(), 12}};
        for (const auto &[view, height] : rows) {
            const QModelIndex first = view->model()->index(0, 0);
            QVERIFY(first.isValid());
            QCOMPARE(view->sizeHintForIndex(first).height(), height);
        }
        // The index's text fits its rows, at the largest size that does.
        QFont larger = f.com->font();
        QVERIFY(QFontMetricsF(larger).lineSpacing() <= 12);
        larger.setPixelSize(larger.pixelSize() + 1);
        QVERIFY(QFontMetricsF(larger).lineSpacing() > 12);
    }

    // Pages are filled in the button face; the index list is one flat colour, with no gradient.
    void flatFaces()
    {
        TForm1 &f = *form_;
        const QColor face = f.palette().color(QPalette::Button);
        f.Manager->setCurrentIndex(0);
        QCOMPARE(f.Manager->widget(0)->grab().toImage().pixelColor(1, 1), face);
        const QImage index = f.com->grab().toImage();
        for (int y = 2; y < index.height() - 2; ++y)
            QCOMPARE(index.pixelColor(2, y), face);
    }

    // Tab stops lie eight average letter widths apart in the pane's font, and a tab never
    // breaks its line.
    void tabStopsInTheMemos()
    {
        TForm1 &f = *form_;
        f.Manager->setCurrentIndex(3);
        for (TextPane *pane : {f.test, f.Memos[6]}) {
            pane->setBytes("a\tb\r\n\tc\r\n\t\tdone");
            pane->resize(400, 200);
            const qreal stop = pane->tabStopDistance();
            QVERIFY2(stop >= 8 * 4 && stop <= 8 * 12, qPrintable(QString::number(stop)));
            for (int block = 0; block < 3; ++block) {
                QTextLayout *layout = pane->document()->findBlockByNumber(block).layout();
                pane->document()->documentLayout()->blockBoundingRect(pane->document()->findBlockByNumber(block));
                QCOMPARE(layout->lineCount(), 1);
            }
            auto xOf = [pane](int block, int column) {
                const QTextLine line = pane->document()->findBlockByNumber(block).layout()->lineAt(0);
                return line.cursorToX(column) - line.x();
            };
            // Positions are kept in 64ths of a pixel.
            QVERIFY(qAbs(xOf(0, 2) - stop) < 0.05);
            QVERIFY(qAbs(xOf(1, 1) - stop) < 0.05);
            QVERIFY(qAbs(xOf(2, 2) - 2 * stop) < 0.05);
        }
    }

    void helpPagesAreReadOnlyButSelectable()
    {
        TForm1 &f = *form_;
        f.Manager->setCurrentIndex(3);
        QCOMPARE(f.TabbedNotebook2->count(), 9);
        QCOMPARE(f.TabbedNotebook2->currentIndex(), 7);
        QCOMPARE(f.TabbedNotebook2->tabText(4), QString("QCman  - &Defs"));
        QCOMPARE(f.TabbedNotebook2->tabText(7), QString("VARDO -Minihelp"));
        QCOMPARE(f.TabbedNotebook2->tabText(8), QString("&Keys"));
        QCOMPARE(f.Memos[7]->line(0), QString("::VARDO::  Mini help"));
        TextPane *memo = f.Memos[7];
        const QString before = memo->wholeText();
        memo->setFocus();
        QTest::keyClicks(memo, "typed");
        QTest::keyClick(memo, Qt::Key_Delete);
        QTest::keyClick(memo, Qt::Key_Backspace);
        QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(memo->wholeText(), before);
        memo->selectAll();
        memo->copy();
        QCOMPARE(QGuiApplication::clipboard()->text().left(10), QString("::VARDO:: "));

        // F1 from anywhere brings the list of keys to the front.
        f.Manager->setCurrentIndex(TForm1::EditPage);
        f.vardo->setFocus();
        QTest::keyClick(f.vardo, Qt::Key_F1);
        QCOMPARE(f.Manager->currentIndex(), int(TForm1::HelpPage));
        QCOMPARE(f.TabbedNotebook2->currentWidget(), f.Memos[8]);
        QVERIFY(f.Memos[8]->hasFocus());
        QCOMPARE(f.Memos[8]->line(0), QString("::VARDO::  Keys"));
    }

    // The question box: one button per choice, Save as the default, and Esc or the close button
    // meaning Cancel.
    void questionBoxAnswers_data()
    {
        QTest::addColumn<int>("action"); // 0 Esc, 1 close button, 2 Enter, 3 click "Discard my edits"
        QTest::addColumn<int>("expected");
        QTest::newRow("Esc") << 0 << int(Choice::Cancel);
        QTest::newRow("close button") << 1 << int(Choice::Cancel);
        QTest::newRow("Enter") << 2 << int(Choice::Save);
        QTest::newRow("button") << 3 << int(Choice::DiscardMyEdits);
    }
    void questionBoxAnswers()
    {
        QFETCH(int, action);
        QFETCH(int, expected);
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            for (QAbstractButton *button : box->buttons())
                buttons << button->text();
            if (action == 0)
                QTest::keyClick(box, Qt::Key_Escape);
            if (action == 1)
                box->close();
            if (action == 2)
                QTest::keyClick(box, Qt::Key_Return);
            for (QAbstractButton *button : box->buttons())
                if (action == 3 && button->text() == "Discard &my edits")
                    button->click();
        });
        const Choice choice = askUser(QStringLiteral("Save changes to a.qc?"),
                                      {Choice::Save, Choice::Discard, Choice::DiscardMyEdits, Choice::Cancel});
        QCOMPARE(int(choice), expected);
        buttons.sort();
        QCOMPARE(buttons, QStringList({"&Discard", "&Save", "Cancel", "Discard &my edits"}));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
