// Checking as the user types: wavy underlines and gutter marks in the editor, the Problems
// view's rows, the newest text winning, and the checker's scopes behind F12, Shift+F12 and hover.
#include "widgettesting.h"

#include "checking/checkcontroller.h"
#include "lists/filelistbox.h"
#include "lists/outputlist.h"
#include "panes/textpane.h"

#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>

using namespace vardo;
using namespace vardo::testing;

namespace {

const char *const kDefs = "void() main;\r\n"
                          "float maxhealth;\r\n";
const char *const kWorld = "void(float amount) heal =\r\n"
                           "{\r\n"
                           "\tlocal float total;\r\n"
                           "\ttotal = amount + maxhealth;\r\n"
                           "\tmaxhealth = total;\r\n"
                           "};\r\n"
                           "void() main =\r\n"
                           "{\r\n"
                           "\tlocal float total;\r\n"
                           "\ttotal = 1;\r\n"
                           "\theal(total);\r\n"
                           "};\r\n";

struct Underline {
    QString text;
    QColor colour;
    QString tip;
};

struct Session {
    CurrentDirectoryGuard guard;
    TempTree tree;
    ErrorBoxRecorder errors;
    std::unique_ptr<TForm1> form;

    Session()
    {
        tree.write("progs.src", "progs.dat\r\ndefs.qc\r\nworld.qc\r\n");
        tree.write("defs.qc", kDefs);
        tree.write("world.qc", kWorld);
        form = startForm(tree.path());
    }
    TextPane *editor() const { return form->vardo; }
    // Opens world.qc and waits for its first check.
    bool openWorld()
    {
        QSignalSpy checked(form->checking, &CheckController::checked);
        doubleClickRow(form->qclista, rowOf(form->qclista, QStringLiteral("world.qc")));
        return checked.wait(10000);
    }
    void caret(int line, int column)
    {
        QTextCursor cursor(editor()->document()->findBlockByNumber(line));
        cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
        editor()->setTextCursor(cursor);
        editor()->setFocus();
    }
    // Puts text at the start of a line as typing or a paste would, past the indentation's keys.
    void type(int line, const QString &text)
    {
        caret(line, 0);
        editor()->textCursor().insertText(text);
    }
    // The tooltip the mouse resting on a position of the editor's text brings up.
    QString hoverAt(int position) const
    {
        QTextCursor at(editor()->document());
        at.setPosition(position);
        const QPoint point = editor()->cursorRect(at).center();
        QHelpEvent hover(QEvent::ToolTip, point, editor()->viewport()->mapToGlobal(point));
        QApplication::sendEvent(editor()->viewport(), &hover);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
    QList<Underline> underlines() const
    {
        QList<Underline> found;
        for (const QTextEdit::ExtraSelection &mark : editor()->extraSelections())
            if (mark.format.underlineStyle() == QTextCharFormat::WaveUnderline) {
                // Each shows in the gutter in its own colour too.
                if (mark.format.colorProperty(TextPane::kGutterColour) != mark.format.underlineColor())
                    return {};
                found << Underline{mark.cursor.selectedText(), mark.format.underlineColor(), mark.format.toolTip()};
            }
        return found;
    }
};

} // namespace

class Checking : public QObject {
    Q_OBJECT

private slots:
    // A mistake typed into a clean file is underlined where it is, red for an error and amber
    // for a warning, with the message as its tooltip; the Problems view lists it as a place.
    void typedMistakesAreUnderlinedAndListed()
    {
        const struct {
            const char *typed;
            const char *marked;
            QColor colour;
            const char *tip;
            const char *row;
            bool shown; // the Problems view comes into view
        } cases[] = {
            {"\tmaxhelth = 1;\n", "maxhelth", QColor(230, 0, 0), "maxhealth", "world.qc:4:2: error: ", true},
            {"\tlocal float spare;\n", "spare", QColor(230, 150, 0), "spare", "world.qc:4:14: warning: ", false},
        };
        for (const auto &c : cases) {
            Session s;
            QVERIFY(s.form);
            QVERIFY(s.openWorld());
            QVERIFY(s.underlines().isEmpty());
            QVERIFY(s.form->problems->isHidden());
            QCOMPARE(s.form->problems->heading(), QStringLiteral("Problems: 0 errors, 0 warnings"));
            s.type(3, QString::fromLatin1(c.typed));
            QTRY_COMPARE(s.underlines().size(), 1);
            const Underline mark = s.underlines().front();
            QCOMPARE(mark.text, QString::fromLatin1(c.marked));
            QCOMPARE(mark.colour, c.colour);
            QVERIFY2(mark.tip.contains(QLatin1String(c.tip)), qPrintable(mark.tip));
            const int inside = s.editor()->document()->toPlainText().indexOf(QLatin1String(c.marked)) + 1;
            QTRY_VERIFY(s.hoverAt(inside).contains(mark.tip.toHtmlEscaped()));
            QCOMPARE(s.form->problems->resultRows(), 1);
            const OutputRow &row = s.form->problems->resultRow(0);
            QVERIFY2(row.text.startsWith(QLatin1String(c.row)), qPrintable(row.text));
            QCOMPARE(row.file, s.tree / "world.qc");
            QCOMPARE(s.form->problems->isVisible(), c.shown);
            QVERIFY(s.form->output->isHidden());
            // The mark follows its text down when a line goes in above it.
            s.type(0, QStringLiteral("\n"));
            QCOMPARE(s.underlines().front().text, QString::fromLatin1(c.marked));
        }
    }

    // Enter on a row of the Problems view goes to its place in the editor.
    void problemRowGoesToItsPlace()
    {
        Session s;
        QVERIFY(s.form);
        QVERIFY(s.openWorld());
        s.type(4, QStringLiteral("\tnothere();\n"));
        QTRY_COMPARE(s.form->problems->resultRows(), 1);
        QTRY_VERIFY(s.form->problems->isVisible());
        s.caret(0, 0);
        s.form->problems->setCurrentIndex(s.form->problems->model()->index(1, 0));
        s.form->problems->setFocus();
        QTest::keyClick(s.form->problems, Qt::Key_Return);
        QCOMPARE(s.editor()->textCursor().blockNumber(), 4);
        QCOMPARE(s.editor()->textCursor().selectionStart() - s.editor()->textCursor().block().position(), 1);
    }

    // A save reads the whole project again: what another program wrote into a file meanwhile
    // shows among the problems.
    void saveReadsTheProjectAgain()
    {
        Session s;
        QVERIFY(s.form);
        QVERIFY(s.openWorld());
        s.tree.write("defs.qc", std::string(kDefs) + "nonsense;\r\n");
        s.type(0, QStringLiteral("\n"));
        QSignalSpy checked(s.form->checking, &CheckController::checked);
        QVERIFY(checked.wait(10000));
        QCOMPARE(s.form->problems->resultRows(), 0);
        QTest::keyClick(s.editor(), Qt::Key_S, Qt::ControlModifier);
        QTRY_COMPARE(s.form->problems->resultRows(), 1);
        QCOMPARE(s.form->problems->resultRow(0).file, s.tree / "defs.qc");
    }

    // A check of an older text never shows: the text changed while it ran.
    void newerTextWins()
    {
        Session s;
        QVERIFY(s.form);
        QVERIFY(s.openWorld());
        QList<int> shown;
        connect(s.form->checking, &CheckController::checked, this, [&] { shown << s.underlines().size(); });
        s.type(3, QStringLiteral("\tnothere = 1;\n"));
        s.form->checking->recheckProject(); // the erroneous text goes to the checker now
        s.type(3, QStringLiteral("//"));
        QTRY_VERIFY(!shown.isEmpty());
        QCOMPARE(shown.front(), 0);
    }

    // F12 on a local or a parameter goes to its declaration in the function; Shift+F12 lists
    // that function's uses only; hover shows its declared type.
    void scopesOfLocals()
    {
        Session s;
        QVERIFY(s.form);
        QVERIFY(s.openWorld());
        const struct {
            int line, column;
            int toLine, toColumn;
        } jumps[] = {
            {4, 14, 2, 13}, // total in heal
            {3, 10, 0, 11}, // amount, heal's parameter
            {10, 7, 8, 13}, // total in main
        };
        for (const auto &j : jumps) {
            s.caret(j.line, j.column);
            QTest::keyClick(s.editor(), Qt::Key_F12);
            QCOMPARE(s.editor()->textCursor().blockNumber(), j.toLine);
            QCOMPARE(s.editor()->textCursor().selectionStart() - s.editor()->textCursor().block().position(),
                     j.toColumn);
        }
        s.caret(4, 14);
        QTest::keyClick(s.editor(), Qt::Key_F12, Qt::ShiftModifier);
        QTRY_VERIFY(s.form->output->isVisible());
        QCOMPARE(s.form->output->resultRows(), 3);
        for (int row = 0; row < 3; ++row)
            QVERIFY(s.form->output->resultRow(row).line <= 5);

        QTRY_VERIFY(s.hoverAt(s.editor()->textCursor().position()).contains(QLatin1String("float total")));
    }
};

QTEST_MAIN(Checking)
#include "tst_checking.moc"
