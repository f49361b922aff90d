// QuakeC colouring in the real window: what is coloured how, only in view, and after edits.
#include "widgettesting.h"

#include "doc/qtext.h"
#include "lists/filelistbox.h"
#include "panes/colouring.h"
#include "panes/colourscheme.h"
#include "panes/textpane.h"
#include "ui/notebook.h"

#include <QPaintEvent>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace vardo;
using namespace vardo::testing;
using qc::TokenKind;

namespace {

const char *const kSource = "/* spawn functions\r\n"
                            "   of the player */\r\n"
                            "void() main =\r\n"
                            "{\r\n"
                            "\tlocal vector v = '0 0 1';\r\n"
                            "\tself.health = 100; // full\r\n"
                            "\tbprint(\"a \\\"b\\\" c\"); $walk1 #12\r\n"
                            "#define DEBUG\r\n"
                            "/*QUAKED info_player_start (1 0 0) (-16 -16 -24)\r\n"
                            "*/ .float armor;\r\n";

// Comments far apart in a long file: an entity comment from line 1001 to 1012, and a comment
// from line 2013 to the end.
std::string farText()
{
    std::string text = "void() a;\n";
    const auto code = [&text](int lines) {
        for (int i = 0; i < lines; ++i)
            text += "\tself.nextthink = time + 0.1;\n";
    };
    code(1000);
    text += "/*QUAKED x\n";
    code(10);
    text += "*/ float y;\n";
    code(1000);
    text += "/*\n";
    code(500);
    return text + "end";
}

struct Window {
    CurrentDirectoryGuard guard;
    TempTree tree;
    ErrorBoxRecorder errors;
    std::unique_ptr<TForm1> form;

    Window()
    {
        std::string text = kSource;
        for (int i = 0; i < 2000; ++i)
            text += "\tself.nextthink = time + 0.1;\r\n";
        text += "void() last;\r\n";
        tree.write("a.qc", text);
        tree.write("notes.txt", "void() // plain\r\n");
        tree.write("far.qc", farText());
        form = startForm(tree.path());
        if (form)
            doubleClickRow(form->qclista, rowOf(form->qclista, QStringLiteral("a.qc")));
    }
};

// Paints the pane now, as the screen would.
void paint(TextPane *pane)
{
    pane->viewport()->repaint();
    QCoreApplication::processEvents();
}

// The colour a line shows at a column: that of its token, or invalid for the pane's own.
QColor colourAt(const TextPane *pane, int line, int column)
{
    const QTextBlock block = pane->document()->findBlockByNumber(line);
    for (const QTextLayout::FormatRange &range : block.layout()->formats())
        if (column >= range.start && column < range.start + range.length)
            return range.format.foreground().color();
    return {};
}

bool isColoured(const TextPane *pane, int line)
{
    const QTextBlock block = pane->document()->findBlockByNumber(line);
    return block.isValid() && !block.layout()->formats().isEmpty();
}

// Counts the paints of a widget and what they covered.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;
    QRegion painted;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            painted += static_cast<QPaintEvent *>(event)->region();
        }
        return false;
    }
};

} // namespace

class Colouring : public QObject {
    Q_OBJECT

private slots:
    void coloursQuakeCAsModdersWriteIt()
    {
        Window w;
        QVERIFY(w.form);
        TextPane *vardo = w.form->vardo;
        const bool modified = vardo->document()->isModified();
        paint(vardo);
        QCOMPARE(vardo->document()->isModified(), modified);
        struct Case {
            int line, column;
            TokenKind kind;
        };
        const Case cases[] = {
            {0, 0, TokenKind::Comment},        {1, 5, TokenKind::Comment},
            {2, 0, TokenKind::Type},           {2, 7, TokenKind::Name},
            {4, 1, TokenKind::Keyword},        {4, 7, TokenKind::Type},
            {4, 18, TokenKind::Vector},        {5, 15, TokenKind::Number},
            {5, 20, TokenKind::Comment},       {6, 8, TokenKind::String},
            {6, 14, TokenKind::String},        {6, 23, TokenKind::FrameMacro},
            {6, 30, TokenKind::BuiltinNumber}, {7, 0, TokenKind::Preprocessor},
            {7, 9, TokenKind::Name},           {8, 10, TokenKind::EntityComment},
            {9, 0, TokenKind::EntityComment},  {9, 3, TokenKind::Punctuation},
            {9, 4, TokenKind::Type},
        };
        for (const Case &c : cases)
            QVERIFY2(colourAt(vardo, c.line, c.column) == colours::ofToken(c.kind),
                     qPrintable(QStringLiteral("line %1, column %2").arg(c.line).arg(c.column)));

        // Only what is shown is coloured; the text and its state are untouched.
        const int last = vardo->document()->blockCount() - 2;
        QVERIFY(!isColoured(vardo, last));
        QVERIFY(!vardo->document()->isUndoAvailable());
        QTest::keyClick(vardo, Qt::Key_End, Qt::ControlModifier);
        paint(vardo);
        QCOMPARE(colourAt(vardo, last, 0), colours::ofToken(TokenKind::Type));

        // The preview shows the same colours on its grey.
        clickRow(w.form->qclista, rowOf(w.form->qclista, QStringLiteral("a.qc")));
        paint(w.form->veer);
        QCOMPARE(colourAt(w.form->veer, 1, 5), colours::ofToken(TokenKind::Comment));
        QCOMPARE(colourAt(w.form->veer, 2, 0), colours::ofToken(TokenKind::Type));
    }

    void anEditRecoloursTheLinesItChanges()
    {
        Window w;
        QVERIFY(w.form);
        TextPane *vardo = w.form->vardo;
        paint(vardo);
        QCOMPARE(colourAt(vardo, 2, 0), colours::ofToken(TokenKind::Type));
        // Opening a comment on line 3 turns the lines below it into comment, to its end.
        QTextCursor cursor(vardo->document()->findBlockByNumber(2));
        vardo->setTextCursor(cursor);
        QTest::keyClicks(vardo, "/*");
        paint(vardo);
        for (const int line : {2, 3, 4, 7})
            QCOMPARE(colourAt(vardo, line, 0), colours::ofToken(TokenKind::Comment));
        QCOMPARE(colourAt(vardo, 9, 5), colours::ofToken(TokenKind::Type));
        // Far below, the state is found when the line is shown.
        QTest::keyClick(vardo, Qt::Key_End, Qt::ControlModifier);
        paint(vardo);
        QCOMPARE(colourAt(vardo, vardo->document()->blockCount() - 2, 0), colours::ofToken(TokenKind::Type));
        QTest::keyClick(vardo, Qt::Key_Home, Qt::ControlModifier);
        // Undone, every line is code again.
        while (vardo->document()->findBlockByNumber(2).text().startsWith(u'/'))
            QTest::keyClick(vardo, Qt::Key_Z, Qt::ControlModifier);
        paint(vardo);
        QCOMPARE(vardo->document()->findBlockByNumber(2).text(), QStringLiteral("void() main ="));
        QCOMPARE(colourAt(vardo, 2, 0), colours::ofToken(TokenKind::Type));
        QCOMPARE(colourAt(vardo, 4, 1), colours::ofToken(TokenKind::Keyword));
        // Closing the first comment early makes its second line code.
        QTextCursor close(vardo->document()->findBlockByNumber(0));
        close.movePosition(QTextCursor::EndOfBlock);
        close.insertText(QStringLiteral(" */"));
        paint(vardo);
        QCOMPARE(colourAt(vardo, 1, 3), QColor());
        QCOMPARE(colourAt(vardo, 1, 17), QColor());
    }

    void jumpsFarIntoALoadedFileShowItsComments()
    {
        // With the text edited before its states are found, and without.
        for (const bool editedAtOnce : {false, true}) {
            Window w;
            QVERIFY(w.form);
            TextPane *vardo = w.form->vardo;
            doubleClickRow(w.form->qclista, rowOf(w.form->qclista, QStringLiteral("far.qc")));
            QCOMPARE(vardo->document()->blockCount(), 2515);
            QuakeCColouring *colouring = QuakeCColouring::of(vardo);
            QTRY_VERIFY(!colouring->learning());
            if (editedAtOnce) {
                const QString text = QString::fromStdString(farText());
                colouring->learnStates(std::make_shared<const std::u16string>(u16view(text)));
                QTextCursor(vardo->document()).insertText(QStringLiteral("/*"));
                QTRY_VERIFY(!colouring->learning());
            }
            const struct {
                int line, column;
                TokenKind plain, edited;
            } cases[] = {
                {2514, 0, TokenKind::Comment, TokenKind::Comment}, {1005, 1, TokenKind::EntityComment, TokenKind::Comment},
                {1012, 3, TokenKind::Type, TokenKind::Type},       {500, 1, TokenKind::Name, TokenKind::Comment},
                {2012, 1, TokenKind::Name, TokenKind::Name},
            };
            for (const auto &c : cases) {
                vardo->setTextCursor(QTextCursor(vardo->document()->findBlockByNumber(c.line)));
                vardo->centerCursor();
                paint(vardo);
                QVERIFY2(colourAt(vardo, c.line, c.column) == colours::ofToken(editedAtOnce ? c.edited : c.plain),
                         qPrintable(QStringLiteral("line %1, edited %2").arg(c.line).arg(editedAtOnce)));
            }
        }
    }

    // A key is painted once: colouring the lines it changed asks for no second paint.
    void aKeyIsPaintedOnce()
    {
        Window w;
        QVERIFY(w.form);
        TextPane *vardo = w.form->vardo;
        vardo->setCurrentLineShown(true);
        vardo->setTextCursor(QTextCursor(vardo->document()->findBlockByNumber(1000)));
        vardo->centerCursor();
        vardo->setFocus();
        paint(vardo);
        for (const Qt::Key key : {Qt::Key_X, Qt::Key_Backspace, Qt::Key_Down, Qt::Key_X}) {
            PaintCounter counter(vardo->viewport());
            QTest::keyClick(vardo, key);
            QTest::qWait(20);
            QCOMPARE(counter.paints, 1);
        }
    }

    // A key repaints, once, the lines it changed and those whose marks moved with it, in the
    // text and beside it, not the whole view; a comment it opens is painted with it.
    void aKeyRepaintsOnlyItsLines()
    {
        Window w;
        QVERIFY(w.form);
        TextPane *vardo = w.form->vardo;
        QTextCursor cursor(vardo->document()->findBlockByNumber(1000));
        cursor.insertText(QStringLiteral("\tif (a) b();"));
        vardo->setTextCursor(cursor);
        vardo->centerCursor();
        vardo->setFocus();
        paint(vardo);
        const int line = vardo->fontMetrics().lineSpacing();
        const int below = vardo->viewport()->height() - vardo->cursorRect().top();
        QWidget *gutter = vardo->findChild<QWidget *>(QStringLiteral("lineNumbers"));
        QVERIFY(gutter);
        // Typing, deleting, moving down and up a line, onto a bracket and off it, and opening
        // a comment.
        // The line numbers stay as they are until a line comes or goes.
        const struct {
            Qt::Key key;
            int textHeight;
            bool numbersPainted;
        } cases[] = {{Qt::Key_X, line, false},     {Qt::Key_Backspace, line, false}, {Qt::Key_Down, 2 * line, false},
                     {Qt::Key_Up, 2 * line, false}, {Qt::Key_Left, line, false},      {Qt::Key_Left, line, false},
                     {Qt::Key_Y, line, false},     {Qt::Key_Slash, line, false},     {Qt::Key_Asterisk, below, false},
                     {Qt::Key_Return, vardo->viewport()->height(), true}};
        for (const auto &c : cases) {
            PaintCounter text(vardo->viewport()), numbers(gutter);
            QTest::keyClick(vardo, c.key);
            QTest::qWait(20);
            const QString what = QStringLiteral("key %1, %2-pixel lines").arg(c.key).arg(line);
            QVERIFY2(text.paints == 1, qPrintable(what));
            QVERIFY2(qAbs(text.painted.boundingRect().height() - c.textHeight) <= 4, qPrintable(what));
            QVERIFY2(numbers.painted.isEmpty() != c.numbersPainted, qPrintable(what));
        }
        QCOMPARE(colourAt(vardo, 1002, 1), colours::ofToken(TokenKind::Comment));
    }

    // In a wrapping pane, a key that makes its line wrap moves the lines below, which are
    // painted again with it; until then each key paints its line alone.
    void aLineThatWrapsRepaintsTheLinesBelow()
    {
        Window w;
        QVERIFY(w.form);
        TextPane *test = w.form->test;
        w.form->TabbedNotebook1->setCurrentIndex(1);
        clickRow(w.form->listado, rowOf(w.form->listado, QStringLiteral("a.qc")));
        QTextCursor cursor(test->document()->findBlockByNumber(4));
        cursor.movePosition(QTextCursor::EndOfBlock);
        test->setTextCursor(cursor);
        test->setFocus();
        paint(test);
        QVERIFY(isColoured(test, 4));
        const QTextBlock line = cursor.block();
        const int height = test->fontMetrics().lineSpacing();
        const int wrappedAt = line.lineCount() + 1;
        for (int keys = 0; line.lineCount() < wrappedAt && keys < 1000; ++keys) {
            PaintCounter counter(test->viewport());
            QTest::keyClick(test, Qt::Key_X);
            QCoreApplication::processEvents();
            const int painted = counter.painted.boundingRect().height();
            if (line.lineCount() < wrappedAt)
                QVERIFY2(painted <= line.lineCount() * height + 4, qPrintable(QString::number(painted)));
            else
                QVERIFY2(painted >= test->viewport()->height() / 2, qPrintable(QString::number(painted)));
        }
        QCOMPARE(line.lineCount(), wrappedAt);
    }

    void generalPaneColoursOnlyQuakeCFiles()
    {
        Window w;
        QVERIFY(w.form);
        TextPane *test = w.form->test;
        w.form->TabbedNotebook1->setCurrentIndex(1);
        for (const auto &[name, coloured] : {std::pair{"a.qc", true}, {"notes.txt", false}, {"a.qc", true}}) {
            clickRow(w.form->listado, rowOf(w.form->listado, QLatin1String(name)));
            QCOMPARE(generalFile(*w.form), w.tree / name);
            paint(test);
            QCOMPARE(isColoured(test, 0), coloured);
        }
        struct Name {
            const char *path;
            bool quakec;
        };
        for (const Name &n : {Name{"/m/defs.qc", true}, {"/m/DEFS.QH", true}, {"progs.src", true},
                              {"/m/notes.txt", false}, {"/m.qc/readme", false}, {"qc", false}})
            QCOMPARE(isQuakeCFileName(n.path), n.quakec);
    }
};

QTEST_MAIN(Colouring)
#include "tst_colouring.moc"
