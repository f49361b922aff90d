// Find, replace and go to line on the real window, driven from the keyboard.
#include "widgettesting.h"

#include "find/findbar.h"
#include "find/textsnapshot.h"
#include "lists/filelistbox.h"
#include "panes/textpane.h"
#include "ui/notebook.h"

#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <algorithm>

using namespace vardo;
using namespace vardo::testing;

namespace {

struct Window {
    CurrentDirectoryGuard guard;
    TempTree tree;
    ErrorBoxRecorder errors;
    std::unique_ptr<TForm1> form;
    FindBar *bar = nullptr;

    explicit Window(const std::string &text)
    {
        tree.write("a.qc", text);
        form = startForm(tree.path());
        if (!form)
            return;
        form->activateWindow();
        (void)QTest::qWaitForWindowActive(form.get());
        bar = form->findChild<FindBar *>(QStringLiteral("findbar"));
        doubleClickRow(form->qclista, rowOf(form->qclista, QStringLiteral("a.qc")));
        QTest::mouseClick(form->vardo->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    }
    // A key as the user presses it, wherever the focus is.
    void key(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    void find(const QString &what)
    {
        key(Qt::Key_F, Qt::ControlModifier);
        bar->findField->setText(what);
    }
    QString selected() const { return form->vardo->textCursor().selectedText(); }
    int selectionStart() const { return form->vardo->textCursor().selectionStart(); }
    int marks() const { return static_cast<int>(form->vardo->extraSelections().size()); }
};

} // namespace

class Find : public QObject {
    Q_OBJECT

private slots:
    void findsWrapsRoundAndCloses()
    {
        // Matches at 0 (Void), 8 (void), 17 (in "avoid": no whole word) and 29 (VOID).
        Window w("Void a; void b; avoid c;\r\nx = VOID;\r\n");
        QVERIFY(w.form && w.bar);
        QVERIFY(!w.bar->isVisible());
        QTextCursor word = w.form->vardo->textCursor();
        word.setPosition(8);
        word.setPosition(12, QTextCursor::KeepAnchor);
        w.form->vardo->setTextCursor(word);

        // The selection is the start; the caption shows no mark for the keys of the bar.
        w.key(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(w.bar->isVisible());
        QVERIFY(w.bar->findField->hasFocus());
        QCOMPARE(w.bar->findField->text(), QStringLiteral("void"));
        QVERIFY(!w.bar->replaceField->isVisible());
        QCOMPARE(w.marks(), 4);

        struct Step {
            int key;
            Qt::KeyboardModifiers modifiers;
            int start;
            const char *note;
        };
        const Step steps[] = {
            {Qt::Key_Return, {}, 17, ""},
            {Qt::Key_F3, {}, 29, ""},
            {Qt::Key_F3, {}, 0, "Wrapped round to the top."},
            {Qt::Key_F3, Qt::ShiftModifier, 29, "Wrapped round to the bottom."},
            {Qt::Key_F3, Qt::ShiftModifier, 17, ""},
        };
        for (const Step &step : steps) {
            w.key(step.key, step.modifiers);
            QCOMPARE(w.selectionStart(), step.start);
            QCOMPARE(w.selected().toLower(), QStringLiteral("void"));
            QCOMPARE(w.bar->note->text(), QLatin1String(step.note));
        }

        // Whole word leaves out "avoid"; match case then leaves only "void".
        w.bar->wholeWord->setChecked(true);
        QCOMPARE(w.marks(), 3);
        w.key(Qt::Key_F3);
        QCOMPARE(w.selectionStart(), 29);
        w.bar->matchCase->setChecked(true);
        w.key(Qt::Key_F3);
        QCOMPARE(w.selectionStart(), 8);
        QCOMPARE(w.bar->note->text(), QStringLiteral("Wrapped round to the top."));
        w.bar->findField->setText(QStringLiteral("missing"));
        w.key(Qt::Key_Return);
        QCOMPARE(w.bar->note->text(), QStringLiteral("Not found."));
        QCOMPARE(w.selectionStart(), 8);

        // Esc closes the bar, clears the marks and gives the editor the focus back.
        w.key(Qt::Key_Escape);
        QVERIFY(!w.bar->isVisible());
        QVERIFY(w.form->vardo->hasFocus());
        QCOMPARE(w.marks(), 0);
        QCOMPARE(w.form->Manager->tabText(TForm1::EditPage), QStringLiteral("a.qc"));
        QCOMPARE(w.form->vardo->wholeText(), QStringLiteral("Void a; void b; avoid c;\r\nx = VOID;\r\n"));
    }

    void replacesAndUndoesReplaceAllInOneStep()
    {
        const QString text = QStringLiteral("self.health = 1;\r\nother.health = self.health;\r\n");
        Window w(text.toStdString());
        QVERIFY(w.form && w.bar);
        w.key(Qt::Key_H, Qt::ControlModifier);
        QVERIFY(w.bar->replaceField->isVisible());
        w.bar->findField->setText(QStringLiteral("HEALTH"));
        w.bar->replaceField->setText(QStringLiteral("armor"));

        // Replace only acts on a selected match; it then selects the next one.
        w.bar->replaceButton->click();
        QCOMPARE(w.selectionStart(), 5);
        QCOMPARE(w.form->vardo->wholeText(), text);
        w.bar->replaceButton->click();
        QCOMPARE(w.form->vardo->wholeText(),
                 QStringLiteral("self.armor = 1;\r\nother.health = self.health;\r\n"));
        QCOMPARE(w.selected(), QStringLiteral("health"));

        w.bar->replaceAllButton->click();
        QCOMPARE(w.bar->note->text(), QStringLiteral("Replaced 2."));
        const QString replaced = QStringLiteral("self.armor = 1;\r\nother.armor = self.armor;\r\n");
        QCOMPARE(w.form->vardo->wholeText(), replaced);
        w.form->vardo->setFocus();
        w.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.form->vardo->wholeText(), QStringLiteral("self.armor = 1;\r\nother.health = self.health;\r\n"));
        w.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.form->vardo->wholeText(), text);

        // A replacement that ends with the search text is not searched again.
        w.bar->findField->setText(QStringLiteral("self"));
        w.bar->replaceField->setText(QStringLiteral("myself"));
        w.bar->replaceAllButton->click();
        QCOMPARE(w.bar->note->text(), QStringLiteral("Replaced 2."));
        QVERIFY(w.form->vardo->wholeText().startsWith(QStringLiteral("myself.health")));
    }

    void readOnlyPanesOnlyFind()
    {
        Window w("alpha beta\r\nbeta\r\n");
        QVERIFY(w.form && w.bar);
        clickRow(w.form->qclista, rowOf(w.form->qclista, QStringLiteral("a.qc")));
        QCOMPARE(w.form->Manager->currentIndex(), int(TForm1::ViewPage));
        w.form->veer->setFocus();
        w.key(Qt::Key_H, Qt::ControlModifier);
        QVERIFY(w.bar->isVisible());
        QVERIFY(!w.bar->replaceField->isVisible());
        w.bar->findField->setText(QStringLiteral("beta"));
        w.key(Qt::Key_Return);
        QCOMPARE(w.form->veer->textCursor().selectionStart(), 6);
        QCOMPARE(w.form->vardo->textCursor().selectionStart(), 0);
        w.bar->replaceAll();
        QCOMPARE(w.form->veer->wholeText(), QStringLiteral("alpha beta\r\nbeta\r\n"));

        // Back on the editor the replace field comes back; Esc gives the focus to the editor.
        w.form->Manager->setCurrentIndex(TForm1::EditPage);
        QVERIFY(w.bar->replaceField->isVisible());
        w.bar->findField->setFocus();
        w.key(Qt::Key_Escape);
        QVERIFY(w.form->vardo->hasFocus());
    }

    void snapshotFollowsEveryEdit()
    {
        // A document reports its changes once a pane lays it out.
        TextPane pane(TextPane::Kind::RichEdit);
        pane.setPlainText(QStringLiteral("void() a =\n{\n};\n"));
        QTextDocument &document = *pane.document();
        TextSnapshot snapshot;
        QCOMPARE(snapshot.textOf(&document), document.toRawText());
        std::uint32_t seed = 7;
        auto random = [&seed](int below) {
            seed = seed * 1103515245u + 12345u;
            return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(below));
        };
        const QString pieces[] = {"x", "", "\n", "self.health\n\n", "{ }"};
        for (int step = 0; step < 400; ++step) {
            // Edits here and there, several between two looks at the copy.
            const int length = document.characterCount() - 1;
            QTextCursor cursor(&document);
            cursor.setPosition(random(length + 1));
            cursor.setPosition(std::min(length, cursor.position() + random(3) * random(5)), QTextCursor::KeepAnchor);
            cursor.insertText(pieces[random(5)]);
            if (random(3) == 0)
                QCOMPARE(snapshot.textOf(&document), document.toRawText());
        }
        QCOMPARE(snapshot.textOf(&document), document.toRawText());
    }

    void goesToALineInTheUpperThird()
    {
        std::string text;
        for (int i = 1; i <= 400; ++i)
            text += "line " + std::to_string(i) + "\r\n";
        Window w(text);
        QVERIFY(w.form);
        for (const int line : {250, 1, 400}) {
            w.form->vardo->setFocus();
            w.key(Qt::Key_G, Qt::ControlModifier);
            QPointer<QInputDialog> dialog = w.form->findChild<QInputDialog *>(QStringLiteral("gotoline"));
            QVERIFY(dialog);
            QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == dialog);
            dialog->setIntValue(line);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            // The window manager gives the window back its activation; offscreen, the test does.
            QTRY_VERIFY(!dialog);
            w.form->activateWindow();
            QTRY_VERIFY(w.form->vardo->hasFocus());
            const QTextCursor caret = w.form->vardo->textCursor();
            QCOMPARE(caret.blockNumber(), line - 1);
            QCOMPARE(caret.positionInBlock(), 0);
            const QRect at = w.form->vardo->cursorRect();
            QVERIFY(w.form->vardo->viewport()->rect().contains(at));
            if (line == 250)
                QVERIFY(at.top() < w.form->vardo->viewport()->height() / 2);
            QCOMPARE(w.form->Manager->tabText(TForm1::EditPage), QStringLiteral("a.qc"));
        }
        // The dialog refuses a line that is not there.
        w.key(Qt::Key_G, Qt::ControlModifier);
        auto *dialog = w.form->findChild<QInputDialog *>(QStringLiteral("gotoline"));
        QTRY_VERIFY(dialog && dialog->isVisible());
        dialog->setIntValue(5000);
        QCOMPARE(dialog->intValue(), 401);
        dialog->reject();
    }
};

QTEST_MAIN(Find)
#include "tst_find.moc"
