// Indentation and commenting in the editor: the text rules, and the keys on the window's `vardo`.
#include "widgettesting.h"

#include "edit/indenting.h"
#include "lists/filelistbox.h"
#include "panes/textpane.h"

#include <QTest>
#include <QTextBlock>

using namespace vardo;
using namespace vardo::testing;

namespace {

// A text with its caret written as '|' and, when something is selected, the selection's anchor
// as '['.
QString marked(const QPlainTextEdit *pane)
{
    const QTextCursor cursor = pane->textCursor();
    QString text = pane->document()->toPlainText();
    const int anchor = cursor.anchor(), position = cursor.position();
    if (anchor == position)
        return text.insert(position, u'|');
    if (anchor > position)
        return text.insert(anchor, u'[').insert(position, u'|');
    return text.insert(position, u'|').insert(anchor, u'[');
}

void setMarked(QPlainTextEdit *pane, QString text)
{
    const qsizetype anchorMark = text.indexOf(u'[');
    qsizetype position = text.indexOf(u'|');
    if (anchorMark >= 0) {
        text.remove(anchorMark, 1);
        if (anchorMark < position)
            --position;
    }
    const qsizetype anchor = anchorMark >= 0 ? (anchorMark > position ? anchorMark - 1 : anchorMark) : position;
    text.remove(position, 1);
    QTextCursor cursor(pane->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.setPosition(int(anchor));
    cursor.setPosition(int(position), QTextCursor::KeepAnchor);
    pane->setTextCursor(cursor);
}

QTestEventList keys(std::initializer_list<std::pair<Qt::Key, Qt::KeyboardModifiers>> presses)
{
    QTestEventList events;
    for (const auto &[key, modifiers] : presses)
        events.addKeyClick(key, modifiers);
    return events;
}

QTestEventList typed(const QString &text)
{
    QTestEventList events;
    events.addKeyClicks(text);
    return events;
}

// A window with an empty file open in the editor.
struct Session {
    CurrentDirectoryGuard guard;
    TempTree tree;
    std::unique_ptr<TForm1> form;

    Session()
    {
        tree.write("a.qc", "");
        form = startForm(tree.path());
        if (form) {
            doubleClickRow(form->qclista, rowOf(form->qclista, QStringLiteral("a.qc")));
            form->vardo->setFocus();
        }
    }
};

} // namespace

class Indent : public QObject {
    Q_OBJECT

private slots:
    void matchingOpenLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::newRow("none") << "a\n" << -1;
        QTest::newRow("nested") << "{\n\t{\n\t}\n" << 0;
        QTest::newRow("inner") << "{\n\t{\n\t\tx\n" << 1;
        QTest::newRow("closed") << "{\n}\n" << -1;
        QTest::newRow("line comment") << "{\n// {\n" << 0;
        QTest::newRow("block comment over lines") << "/* {\n{ */\n{\n" << 2;
        QTest::newRow("string with escaped quote") << "\"\\\"{\"\n{\n" << 1;
        QTest::newRow("vector constant") << "{\n'{'\n" << 0;
        QTest::newRow("unclosed string ends at its line") << "\"abc\n{\n" << 1;
    }
    void matchingOpenLine()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QCOMPARE(indent::matchingOpenLine(text, int(text.size())), line);
    }

    void toggledComments_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("toggled");
        QTest::newRow("comments") << QStringList{"a", "\tb"} << QStringList{"// a", "// \tb"};
        QTest::newRow("uncomments after the indentation")
            << QStringList{"\t// a", "//b"} << QStringList{"\ta", "b"};
        QTest::newRow("mixed lines are commented") << QStringList{"// a", "b"} << QStringList{"// // a", "// b"};
        QTest::newRow("blank lines do not count") << QStringList{"// a", "", "// b"} << QStringList{"a", "", "b"};
        QTest::newRow("a blank line alone") << QStringList{""} << QStringList{"// "};
    }
    void toggledComments()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, toggled);
        QCOMPARE(indent::toggledComments(lines), toggled);
    }

    void keysInTheEditor_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QTestEventList>("events");
        QTest::addColumn<QString>("after");
        const auto enter = keys({{Qt::Key_Return, {}}});
        const auto tab = keys({{Qt::Key_Tab, {}}});
        const auto backtab = keys({{Qt::Key_Backtab, Qt::ShiftModifier}});
        const auto comment = keys({{Qt::Key_Slash, Qt::ControlModifier}});

        QTest::newRow("enter keeps the indentation") << "\t  foo|" << enter << "\t  foo\n\t  |";
        QTest::newRow("enter after a brace") << "\tif (a) {  |" << enter << "\tif (a) {  \n\t\t|";
        QTest::newRow("enter splits before a brace") << "a|{" << enter << "a\n|{";
        QTest::newRow("enter replaces the selection") << "\tx[yz|" << enter << "\tx\n\t|";

        QTest::newRow("brace to its opening line") << "\tif (a) {\n\t\tb();\n\t\t|" << typed("}")
                                                   << "\tif (a) {\n\t\tb();\n\t}|";
        QTest::newRow("brace in a comment") << "{\n\t// {\n\t|" << typed("}") << "{\n\t// {\n}|";
        QTest::newRow("brace in a string") << "{\n\ts = \"{\";\n\t\t|" << typed("}") << "{\n\ts = \"{\";\n}|";
        QTest::newRow("brace after text") << "{\n\tx |" << typed("}") << "{\n\tx }|";
        QTest::newRow("brace without a match") << "\t|" << typed("}") << "\t}|";

        QTest::newRow("tab indents lines") << "a[b\nc|d" << tab << "[\tab\n\tcd|";
        QTest::newRow("tab upwards") << "a|b\nc[d" << tab << "|\tab\n\tcd[";
        QTest::newRow("tab leaves a line selected at its start") << "[a\nb\n|c" << tab << "[\ta\n\tb|\nc";
        QTest::newRow("tab in a line") << "a|b" << tab << "a\t|b";
        QTest::newRow("tab over a selection in a line") << "a[b|c" << tab << "a\t|c";
        QTest::newRow("shift+tab outdents lines") << "[\ta\n          b\n\tc|" << backtab << "[a\n  b\nc|";
        QTest::newRow("shift+tab on the caret's line") << "\t\tx|y" << backtab << "\tx|y";
        QTest::newRow("shift+tab on spaces") << "   x|" << backtab << "x|";
        QTest::newRow("shift+tab on nothing") << "x|" << backtab << "x|";

        QTest::newRow("comment the caret's line") << "\tx|" << comment << "// \tx|";
        QTest::newRow("uncomment lines") << "[\t// a\n//b|" << comment << "[\ta\nb|";
        QTest::newRow("comment mixed lines") << "[// a\nb|" << comment << "[// // a\n// b|";

        QTest::newRow("home to the text") << "\t\tfoo|" << keys({{Qt::Key_Home, {}}}) << "\t\t|foo";
        QTest::newRow("home twice") << "\t\tfoo|" << keys({{Qt::Key_Home, {}}, {Qt::Key_Home, {}}}) << "|\t\tfoo";
        QTest::newRow("shift+home selects") << "  ab|" << keys({{Qt::Key_Home, Qt::ShiftModifier}}) << "  |ab[";
    }
    void keysInTheEditor()
    {
        QFETCH(QString, before);
        QFETCH(QTestEventList, events);
        QFETCH(QString, after);
        Session s;
        QVERIFY(s.form);
        setMarked(s.form->vardo, before);
        events.simulate(s.form->vardo);
        QCOMPARE(marked(s.form->vardo), after);
    }

    void oneUndoStepEach_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QTestEventList>("events");
        QTest::newRow("tab") << "[a\nb\nc|" << keys({{Qt::Key_Tab, {}}});
        QTest::newRow("shift+tab") << "[\ta\n\tb|" << keys({{Qt::Key_Backtab, Qt::ShiftModifier}});
        QTest::newRow("comment") << "[a\nb|" << keys({{Qt::Key_Slash, Qt::ControlModifier}});
        QTest::newRow("brace") << "{\n\t\t|" << typed("}");
        QTest::newRow("enter") << "\t{|" << keys({{Qt::Key_Return, {}}});
    }
    void oneUndoStepEach()
    {
        QFETCH(QString, before);
        QFETCH(QTestEventList, events);
        Session s;
        QVERIFY(s.form);
        setMarked(s.form->vardo, before);
        const QString text = s.form->vardo->document()->toPlainText();
        events.simulate(s.form->vardo);
        QVERIFY(s.form->vardo->document()->toPlainText() != text);
        QTest::keyClick(s.form->vardo, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.form->vardo->document()->toPlainText(), text);
    }

    // The other panes and a read-only editor keep the keys as they were.
    void onlyTheEditableEditor()
    {
        Session s;
        QVERIFY(s.form);
        s.form->test->setFocus();
        setMarked(s.form->test, "\tx {|");
        QTest::keyClick(s.form->test, Qt::Key_Return);
        QTest::keyClick(s.form->test, Qt::Key_Home);
        QCOMPARE(marked(s.form->test), QStringLiteral("\tx {\n|"));

        setMarked(s.form->vardo, "[a\nb|");
        s.form->vardo->setReadOnly(true);
        QTest::keyClick(s.form->vardo, Qt::Key_Slash, Qt::ControlModifier);
        QTest::keyClick(s.form->vardo, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(marked(s.form->vardo), QStringLiteral("[a\nb|"));
    }
};

QTEST_MAIN(Indent)
#include "tst_indent.moc"
