// The line numbers beside the editor and the preview, and the editor's current line.
#include "widgettesting.h"

#include "lists/filelistbox.h"
#include "panes/colourscheme.h"
#include "panes/textpane.h"

#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

using namespace vardo;
using namespace vardo::testing;

namespace {

std::string lines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "x;\r\n";
    return text;
}

QWidget *gutterOf(TextPane *pane)
{
    return pane->findChild<QWidget *>(QStringLiteral("lineNumbers"), Qt::FindDirectChildrenOnly);
}

struct Session {
    CurrentDirectoryGuard guard;
    TempTree tree;
    std::unique_ptr<TForm1> form;

    explicit Session(std::initializer_list<std::pair<std::string, std::string>> files)
    {
        for (const auto &[name, bytes] : files)
            tree.write(name, bytes);
        form = startForm(tree.path());
    }
    void open(const char *name) { doubleClickRow(form->qclista, rowOf(form->qclista, QString::fromLatin1(name))); }
    void preview(const char *name) { clickRow(form->qclista, rowOf(form->qclista, QString::fromLatin1(name))); }
};

} // namespace

class Gutter : public QObject {
    Q_OBJECT

private slots:
    // The numbers sit left of the text, as wide as the largest, in both panes that show files.
    void numbersBesideTheText()
    {
        Session s({{"short.qc", lines(8)}, {"long.qc", lines(120)}});
        QVERIFY(s.form);
        for (TextPane *pane : {s.form->vardo, s.form->veer}) {
            QWidget *gutter = gutterOf(pane);
            QVERIFY(gutter);
            QCOMPARE(pane->viewport()->x(), gutter->geometry().right() + 1);
            QCOMPARE(gutter->height(), pane->viewport()->height());
        }
        QVERIFY(!gutterOf(s.form->test));

        s.open("short.qc");
        const int oneDigit = gutterOf(s.form->vardo)->width();
        s.open("long.qc");
        const int threeDigits = gutterOf(s.form->vardo)->width();
        QCOMPARE(threeDigits - oneDigit, 2 * s.form->vardo->fontMetrics().horizontalAdvance(u'9'));
        QCOMPARE(s.form->vardo->viewport()->x(), threeDigits);
    }

    // A read-only file's notice above and the numbers beside share the margins.
    void numbersBelowTheNotice()
    {
        Session s({{"nul.qc", std::string("a\0b\r\nc\r\n", 8)}});
        QVERIFY(s.form);
        s.open("nul.qc");
        TextPane *pane = s.form->vardo;
        QVERIFY(!pane->notice().isEmpty());
        QWidget *notice = pane->findChild<QWidget *>(QStringLiteral("notice"));
        QVERIFY(notice && notice->isVisible());
        QCOMPARE(pane->viewport()->y(), notice->geometry().bottom() + 1);
        QCOMPARE(gutterOf(pane)->y(), pane->viewport()->y());
        QCOMPARE(pane->viewport()->x(), gutterOf(pane)->width());
    }

    // A gutter mark shows beside its own line, wherever the view stands, and a click there
    // selects that line.
    void marksBesideTheirLines()
    {
        Session s({{"long.qc", lines(120)}});
        QVERIFY(s.form);
        s.open("long.qc");
        TextPane *pane = s.form->vardo;
        pane->verticalScrollBar()->setValue(50);
        const QColor red(200, 0, 0);
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(pane->document()->findBlockByNumber(60));
        mark.format.setProperty(TextPane::kGutterColour, red);
        QApplication::processEvents();
        QRegion painted;
        EventWatch paints(gutterOf(pane), [&](QEvent *event) {
            if (event->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent *>(event)->region();
        });
        pane->setMarks(TextPane::MarkOwner::Problems, {mark});
        QApplication::processEvents();
        QVERIFY(painted.contains(QPoint(1, pane->cursorRect(mark.cursor).center().y())));
        const QImage gutter = gutterOf(pane)->grab().toImage();
        for (const int line : {59, 60, 61}) {
            const int y = pane->cursorRect(QTextCursor(pane->document()->findBlockByNumber(line))).center().y();
            QCOMPARE(gutter.pixelColor(1, y) == red, line == 60);
        }
        const int y = pane->cursorRect(mark.cursor).center().y();
        QTest::mouseClick(gutterOf(pane), Qt::LeftButton, {}, QPoint(2, y));
        QCOMPARE(pane->textCursor().selectionStart(), mark.cursor.position());
    }

    void clickSelectsTheLine()
    {
        Session s({{"a.qc", "first\r\nsecond\r\nthird\r\n"}});
        QVERIFY(s.form);
        s.open("a.qc");
        TextPane *pane = s.form->vardo;
        const QTextBlock second = pane->document()->findBlockByNumber(1);
        const int y = pane->cursorRect(QTextCursor(second)).center().y();
        QTest::mouseClick(gutterOf(pane), Qt::LeftButton, {}, QPoint(2, y));
        QCOMPARE(pane->textCursor().selectedText(), QStringLiteral("second") + QChar(0x2029));
    }

    // Only the editor shows its caret's line, across the whole view, following the caret and
    // under the marks others add; a caret that changes line repaints both lines.
    void currentLineUnderOtherMarks()
    {
        Session s({{"a.qc", "one\r\ntwo\r\nthree\r\n"}});
        QVERIFY(s.form);
        s.open("a.qc");
        TextPane *pane = s.form->vardo;
        QVERIFY(pane->currentLineShown());
        QVERIFY(!s.form->veer->currentLineShown());
        QTextEdit::ExtraSelection other;
        other.cursor = QTextCursor(pane->document()->findBlockByNumber(2));
        other.cursor.select(QTextCursor::LineUnderCursor);
        other.format.setBackground(Qt::green);
        pane->setExtraSelections({other});
        QRegion painted;
        EventWatch paints(pane->viewport(), [&](QEvent *event) {
            if (event->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent *>(event)->region();
        });
        const int right = pane->viewport()->width() - 8;
        const auto middleOf = [&](int line) {
            return pane->cursorRect(QTextCursor(pane->document()->findBlockByNumber(line))).center().y();
        };
        const QColor base = pane->palette().color(QPalette::Base), green(Qt::green);
        int previous = 0;
        for (int caretLine : {1, 0, 2}) {
            QApplication::processEvents();
            painted = QRegion();
            pane->setTextCursor(QTextCursor(pane->document()->findBlockByNumber(caretLine)));
            QApplication::processEvents();
            QVERIFY(painted.contains(QPoint(right, middleOf(previous))));
            QVERIFY(painted.contains(QPoint(right, middleOf(caretLine))));
            const QImage view = pane->viewport()->grab().toImage();
            for (int line = 0; line < 3; ++line)
                QVERIFY2((view.pixelColor(right, middleOf(line)) != base) == (line == caretLine),
                         qPrintable(QString::number(line)));
            // Under the mark's first letter, which has no descender.
            const QRect marked = pane->cursorRect(other.cursor);
            QCOMPARE(view.pixelColor(pane->cursorRect(QTextCursor(other.cursor.block())).right() + 2, marked.bottom() - 1),
                     green);
            previous = caretLine;
        }
    }

    // The bracket beside the caret and its partner are marked, one without a partner in a
    // colour of its own; brackets in comments and strings count for nothing.
    void bracketsBesideTheCaret()
    {
        const char *text = "void() f =\r\n"
                           "{\r\n"
                           "\tif (a[1]) // ( [ }\r\n"
                           "\t\tx = \"(\"; /* ) */\r\n"
                           "};\r\n"
                           "(\r\n";
        Session s({{"a.qc", text}});
        QVERIFY(s.form);
        s.open("a.qc");
        TextPane *pane = s.form->vardo;
        const auto at = [&](int line, int column) {
            return pane->document()->findBlockByNumber(line).position() + column;
        };
        const auto bracketMarks = [&] {
            QList<QPair<int, QColor>> found;
            for (const QTextEdit::ExtraSelection &mark : pane->extraSelections()) {
                const QColor colour = mark.format.background().color();
                if (colour == colours::bracketMark() || colour == colours::unmatchedBracketMark())
                    found << qMakePair(mark.cursor.selectionStart(), colour);
            }
            return found;
        };
        const QColor pair = colours::bracketMark(), alone = colours::unmatchedBracketMark();
        const struct {
            int line, column;
            QList<QPair<int, QColor>> marks;
        } cases[] = {
            {2, 5, {{at(2, 4), pair}, {at(2, 9), pair}}},  // after "("
            {2, 6, {{at(2, 6), pair}, {at(2, 8), pair}}},  // before "[", nothing before it
            {2, 10, {{at(2, 9), pair}, {at(2, 4), pair}}}, // after ")"
            {1, 0, {{at(1, 0), pair}, {at(4, 0), pair}}},  // before "{", across the lines
            {4, 1, {{at(4, 0), pair}, {at(1, 0), pair}}},
            {5, 1, {{at(5, 0), alone}}},
            {2, 15, {}}, // in a comment
            {3, 8, {}},  // in a string
            {0, 2, {}},
        };
        for (const auto &c : cases) {
            QTextCursor caret(pane->document());
            caret.setPosition(at(c.line, c.column));
            pane->setTextCursor(caret);
            QCOMPARE(bracketMarks(), c.marks);
        }
    }
};

QTEST_MAIN(Gutter)
#include "tst_gutter.moc"
