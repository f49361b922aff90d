#include "widgettesting.h"

#include "core/base/errors.h"
#include "core/files/fileio.h"
#include "panes/busyload.h"
#include "panes/textpane.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vardo;
using namespace vardo::testing;

namespace {

QString errorOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const AppError &error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

} // namespace

class PaneTest : public QObject {
    Q_OBJECT

private:
    TempTree tree_;
    std::unique_ptr<TextPane> pane_;

private slots:
    void init()
    {
        pane_ = std::make_unique<TextPane>(TextPane::Kind::RichEdit);
        pane_->show();
        QVERIFY(QTest::qWaitForWindowExposed(pane_.get()));
    }
    void cleanup() { pane_.reset(); }

    // A jump leaves the whole line in view in the upper third, wrapped or not.
    void placedLinesLieInTheUpperThird()
    {
        for (const auto mode : {QPlainTextEdit::NoWrap, QPlainTextEdit::WidgetWidth}) {
            pane_->setLineWrapMode(mode);
            pane_->resize(300, 240);
            std::string text;
            for (int i = 0; i < 400; ++i)
                text += "line " + std::to_string(i) + " long enough to wrap twice in a narrow pane, on and on\r\n";
            pane_->setBytes(text);
            QApplication::processEvents();
            for (const int line : {300, 20, 0}) {
                pane_->setSelStart(pane_->findText(QStringLiteral("line %1 ").arg(line), 0, pane_->textLength()));
                pane_->setSelLength(4);
                pane_->placeCaretInUpperThird();
                QApplication::processEvents();
                const QRect caret = pane_->cursorRect();
                const QString where = QStringLiteral("mode %1 line %2: %3").arg(mode).arg(line).arg(caret.top());
                QVERIFY2(pane_->viewport()->rect().contains(caret), qPrintable(where));
                QVERIFY2(caret.top() <= pane_->viewport()->height() / 3, qPrintable(where));
            }
        }
    }

    // Without wrapping, a change of width keeps every line's layout, the caret, the selection
    // and the scrolling; the horizontal bar shows only for text wider than the view.
    void widthChangesKeepUnwrappedLines()
    {
        pane_->setLineWrapMode(QPlainTextEdit::NoWrap);
        pane_->resize(500, 200);
        pane_->setBytes("short\r\nlines");
        QApplication::processEvents();
        QVERIFY(!pane_->verticalScrollBar()->isVisible());
        std::string text;
        for (int i = 0; i < 2000; ++i)
            text += "self.nextthink = time + 0.1;\r\n";
        pane_->setBytes(text); // the vertical bar appears and narrows the view
        pane_->verticalScrollBar()->setValue(1000);
        pane_->setSelStart(1010 * 30 + 5);
        pane_->setSelLength(8);
        QApplication::processEvents();
        QVERIFY(pane_->verticalScrollBar()->isVisible());
        QCOMPARE(pane_->horizontalScrollBar()->maximum(), 0);
        const QTextBlock shown = pane_->document()->findBlockByNumber(1010);
        const QString selected = pane_->textCursor().selectedText();
        for (const int width : {400, 700, 450}) {
            pane_->resize(width, 200);
            QCOMPARE(shown.layout()->lineCount(), 1);
            QApplication::processEvents();
            QCOMPARE(pane_->verticalScrollBar()->value(), 1000);
            QCOMPARE(pane_->textCursor().selectedText(), selected);
            QCOMPARE(pane_->caretPosition().line, 1010);
            QCOMPARE(pane_->horizontalScrollBar()->maximum(), 0);
        }
        pane_->setBytes(std::string(300, 'x') + "\r\n" + text);
        QApplication::processEvents();
        QVERIFY(pane_->horizontalScrollBar()->maximum() > 0);
    }

    // The lines around the one typed on keep their shaped text for the next key; those around
    // a line typed on before let go of theirs, wherever edits moved them.
    void onlyTheLinesAroundTheLineTypedOnKeepTheirShapes()
    {
        std::string text;
        for (int i = 0; i < 40; ++i)
            text += "self.nextthink = time + 0.1;\r\n";
        pane_->setBytes(text);
        pane_->setFocus();
        const auto typeAt = [&](int line, Qt::Key key) {
            pane_->setTextCursor(QTextCursor(pane_->document()->findBlockByNumber(line)));
            QTest::keyClick(pane_.get(), key);
            QApplication::processEvents();
        };
        const auto keeping = [&] {
            QList<int> lines;
            for (QTextBlock block = pane_->document()->begin(); block.isValid(); block = block.next())
                if (block.layout()->cacheEnabled())
                    lines << block.blockNumber();
            return lines;
        };
        typeAt(5, Qt::Key_X);
        QCOMPARE(keeping(), QList<int>({4, 5, 6}));
        typeAt(12, Qt::Key_X);
        QCOMPARE(keeping(), QList<int>({11, 12, 13}));
        typeAt(10, Qt::Key_Return); // moves the kept lines down a line
        typeAt(0, Qt::Key_X);
        QCOMPARE(keeping(), QList<int>({0, 1}));
    }

    void emptyPane()
    {
        QCOMPARE(pane_->lineCount(), 0);
        QCOMPARE(pane_->line(0), QString());
        QCOMPARE(pane_->caretPosition().line, 0);
        QCOMPARE(pane_->wholeText(), QString());
        QCOMPARE(pane_->findText("x", 0, 0), -1LL);
    }

    void lineCountsLeaveOutAnEmptyLastLine()
    {
        const QList<QPair<std::string, int>> cases = {
            {"ab", 1}, {"ab\r\n", 1}, {"ab\r\ncd", 2}, {"ab\r\n\r\n", 2}, {"\r\n", 1}};
        for (const auto &[bytes, count] : cases) {
            pane_->setBytes(bytes);
            QCOMPARE(pane_->lineCount(), count);
        }
        pane_->setBytes("ab\r\n");
        QCOMPARE(pane_->line(1), QString());
        QCOMPARE(pane_->line(7), QString());
    }

    void positionsCountLineEndsAsTwo()
    {
        tree_.write("lf.qc", "ab\ncd");
        pane_->loadFromFile(tree_ / "lf.qc");
        QCOMPARE(pane_->wholeText(), QString("ab\r\ncd"));
        QCOMPARE(pane_->textLength(), 6LL);
        QCOMPARE(pane_->findText("cd", 0, 6), 4LL);
        QCOMPARE(pane_->findText("CD", 0, 6), 4LL);

        pane_->setBytes("ab\r\ncd\r\nef");
        pane_->setSelStart(4);
        pane_->setSelLength(2);
        QCOMPARE(pane_->textCursor().selectedText(), QString("cd"));
        QCOMPARE(pane_->caretPosition().line, 1);
        pane_->setSelStart(100);
        QCOMPARE(pane_->textCursor().position(), 8);
    }

    void caretLineComesFromTheLaterEndOfTheSelection()
    {
        pane_->setBytes("0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6");
        QTextCursor cursor = pane_->textCursor();
        cursor.setPosition(pane_->document()->findBlockByNumber(5).position() + 1);
        cursor.setPosition(pane_->document()->findBlockByNumber(2).position(), QTextCursor::KeepAnchor);
        pane_->setTextCursor(cursor);
        QCOMPARE(pane_->caretPosition().line, 5);
    }

    void longLinesAreReadUpToTheLimit()
    {
        pane_->setBytes(std::string(5000, 'x') + "\r\n" + std::string(4095, 'y') + "\r\nz");
        QCOMPARE(pane_->line(0).size(), 4096);
        QCOMPARE(pane_->line(1).size(), 4095);
        QCOMPARE(pane_->line(2), QString("z"));
    }

    // A line too long to lay out is cut into pieces; the pane then never writes the file back.
    void tooLongLinesAreCutAndMakeThePaneReadOnly()
    {
        const std::size_t limit = text::kLongLineLimit;
        const std::string longLine(2 * limit + 5, 'x');
        tree_.write("long.qc", "short\r\n" + longLine + "\r\nend");
        pane_->loadFromFile(tree_ / "long.qc");
        QCOMPARE(pane_->lineCount(), 5);
        QCOMPARE(pane_->document()->findBlockByNumber(1).length() - 1, int(limit));
        QCOMPARE(pane_->document()->findBlockByNumber(3).text(), QString(5, 'x'));
        QVERIFY(pane_->doc()->isReadOnly() && pane_->isReadOnly());
        QVERIFY(pane_->notice().startsWith("long.qc is shown read-only"));
        QVERIFY(pane_->findChild<QLabel *>("notice")->isVisible());
        QVERIFY(pane_->viewport()->y() >= pane_->findChild<QLabel *>("notice")->geometry().bottom());
        QCOMPARE(errorOf([&] { pane_->doc()->saveAs(tree_ / "long.qc"); }),
                 QString::fromStdString(tree_ / "long.qc") + " is shown read-only and was not saved");
        QCOMPARE(readFile(tree_ / "long.qc"), "short\r\n" + longLine + "\r\nend");

        // A file shown as it is makes the pane editable again, as it was before.
        pane_->setBytes(std::string(limit, 'y'));
        QVERIFY(!pane_->doc()->isReadOnly() && !pane_->isReadOnly());
        QVERIFY(pane_->notice().isEmpty() && !pane_->findChild<QLabel *>("notice")->isVisible());
        pane_->doc()->saveAs(tree_ / "long.qc");
        QCOMPARE(readFile(tree_ / "long.qc"), std::string(limit, 'y'));

        TextPane preview(TextPane::Kind::RichEdit);
        preview.setReadOnly(true);
        preview.setBytes(longLine);
        preview.setBytes("short");
        QVERIFY(preview.isReadOnly());
    }

    // Long loads: Esc cancels (in the read or in the filling of the pane) and the pane keeps
    // everything; other input waits for the end of the load; the progress shows.
    void longLoadsServePaintingAndEscOnly()
    {
        BusyLoad::setTiming(0, 0);
        std::string big;
        for (int i = 0; i < 60000; ++i)
            big += "    self.nextthink = time + 0.1;\r\n";
        tree_.write("big.qc", big);
        tree_.write("other.qc", big + "x");
        tree_.write("last.qc", big + "x");
        TextPane reader(TextPane::Kind::Memo);
        reader.loadFromFile(tree_ / "big.qc"); // the next load of big.qc starts by filling

        pane_->setBytes("old\r\ntext");
        pane_->setSelStart(5);
        pane_->document()->setModified(true);
        for (const char *name : {"big.qc", "other.qc"}) {
            QCoreApplication::postEvent(pane_.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
            QVERIFY_THROWS_EXCEPTION(LoadCancelled, pane_->loadFromFile(tree_ / name));
            QCOMPARE(pane_->wholeText(), QString("old\r\ntext"));
            QCOMPARE(pane_->textCursor().position(), 4);
            QVERIFY(pane_->document()->isModified());
        }
        // The rest of the click that was cancelled does not load the file again.
        QVERIFY_THROWS_EXCEPTION(LoadCancelled, pane_->loadFromFile(tree_ / "other.qc"));

        // Timers wait for the end of the load; each turn of the event loop shows the progress.
        QStringList progress;
        bool timerFired = false;
        QTimer::singleShot(1, [&] { timerFired = true; });
        const auto watch = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [&] {
            if (const auto *box = pane_->findChild<QFrame *>("loadProgress"))
                progress << box->findChild<QLabel *>()->text();
        });
        QCoreApplication::postEvent(pane_.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_X, {}, "x"));
        QCoreApplication::postEvent(pane_.get(), new QCloseEvent);
        pane_->loadFromFile(tree_ / "last.qc");
        disconnect(watch);
        BusyLoad::setTiming(-1, -1);
        QVERIFY(!timerFired);
        QVERIFY(pane_->isVisible());
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.first(), QString("Loading last.qc (Esc cancels)"));
        QCOMPARE(progress.last(), QString("Press Esc to stop loading last.qc before closing."));
        QCOMPARE(pane_->findChild<QFrame *>("loadProgress"), nullptr);
        QCOMPARE(pane_->wholeText().toStdString(), big + "x");
        QVERIFY(!pane_->document()->isModified());
        QCoreApplication::processEvents();
        QCOMPARE(pane_->wholeText().toStdString(), "x" + big + "x");
        QTRY_VERIFY(timerFired);
    }

    // The press that begins a double click previews a file, the double click opens it: one read.
    void aFileJustReadIsNotReadAgainUnlessItChanged()
    {
        tree_.write("a.qc", "first");
        pane_->loadFromFile(tree_ / "a.qc");
        struct stat st {};
        QCOMPARE(::stat((tree_ / "a.qc").c_str(), &st), 0);
        tree_.write("a.qc", "again");
        const timespec times[2] = {st.st_atim, st.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, (tree_ / "a.qc").c_str(), times, 0), 0);
        TextPane editor(TextPane::Kind::RichEdit);
        editor.loadFromFile(tree_ / "a.qc");
        QCOMPARE(editor.wholeText(), QString("first"));
        // Loaded again while still shared: an edited pane gets the file's text back.
        editor.textCursor().insertText("edited ");
        editor.loadFromFile(tree_ / "a.qc");
        QCOMPARE(editor.wholeText(), QString("first"));
        QTest::qWait(QApplication::doubleClickInterval() + 400);
        editor.loadFromFile(tree_ / "a.qc");
        QCOMPARE(editor.wholeText(), QString("again"));

        tree_.write("a.qc", "changed");
        editor.loadFromFile(tree_ / "a.qc");
        QCOMPARE(editor.wholeText(), QString("changed"));
    }

    // Hidden, a pane lets go of the buffer of a large file it shows as read and fills it again
    // when shown, where it stood; a load meanwhile shows its own file, and changed text stays.
    void aHiddenPaneSetsALargeFileAside()
    {
        std::string text;
        for (int i = 0; text.size() <= TextPane::kSetAsideFrom; ++i)
            text += "float line" + std::to_string(i) + ";\n";
        tree_.write("large.qc", text);
        tree_.write("small.qc", "small");
        pane_->setSetsAsideWhenHidden([] { return true; });
        pane_->loadFromFile(tree_ / "large.qc");
        QTextCursor caret(pane_->document()->findBlockByNumber(5000));
        caret.movePosition(QTextCursor::EndOfBlock);
        pane_->setTextCursor(caret);
        const QTextDocument *filled = pane_->document();
        pane_->hide();
        QVERIFY(pane_->textSetAside());
        QVERIFY(pane_->document() != filled);
        QCOMPARE(pane_->document()->characterCount(), 1);
        QCOMPARE(pane_->doc()->path(), tree_ / "large.qc");
        pane_->show();
        QTRY_VERIFY(!pane_->textSetAside());
        QCOMPARE(pane_->doc()->fileBytes(), text);
        QVERIFY(!pane_->doc()->isChanged());
        QCOMPARE(pane_->caretPosition().line, 5000);
        QCOMPARE(pane_->caretPosition().column, 15);

        pane_->hide();
        pane_->show();
        pane_->loadFromFile(tree_ / "small.qc");
        QTest::qWait(50);
        QCOMPARE(pane_->wholeText(), QString("small"));

        pane_->loadFromFile(tree_ / "large.qc");
        pane_->textCursor().insertText("x");
        pane_->hide();
        QVERIFY(!pane_->textSetAside());
        QCOMPARE(pane_->doc()->fileBytes(), "x" + text);
        pane_->show();
    }

    void filesRoundTripByteForByte()
    {
        std::string bytes;
        for (int b = 1; b < 256; ++b)
            if (b != '\r' && b != '\n')
                bytes += static_cast<char>(b);
        bytes += "\r\nsecond line\t\xa0\xa0 end\r\n\r\nlast without end";
        tree_.write("all.qc", bytes);
        pane_->loadFromFile(tree_ / "all.qc");
        pane_->doc()->saveAs(tree_ / "copy.qc");
        QCOMPARE(readFile(tree_ / "copy.qc"), bytes);

        // Every line keeps the end it has; new lines take the most common one, LF in a file
        // without any.
        const struct {
            const char *before;
            const char *typedAtStart;
            const char *after;
        } files[] = {
            {"a\nb\n", "x\n", "x\na\nb\n"},
            {"a\r\nb", "x\n", "x\r\na\r\nb"},
            {"a\rb\r", "x\n", "x\ra\rb\r"},
            {"one line", "x\n", "x\none line"},
            {"a\nb\rc\r\nd\n", "", "a\nb\rc\r\nd\n"},
            {"a\nb\rc\r\nd\ne\n", "x\n", "x\na\nb\rc\r\nd\ne\n"},
            {"a\r\r\nb\r\r\n", "x", "xa\r\r\nb\r\r\n"},
        };
        for (const auto &f : files) {
            tree_.write("ends.qc", f.before);
            pane_->loadFromFile(tree_ / "ends.qc");
            pane_->setTextCursor(QTextCursor(pane_->document()));
            pane_->insertPlainText(QString::fromLatin1(f.typedAtStart));
            pane_->doc()->saveAs(tree_ / "ends.qc");
            QCOMPARE(readFile(tree_ / "ends.qc"), std::string(f.after));
        }
    }

    void failuresKeepTheTextAndSayWhy()
    {
        pane_->setBytes("kept");
        const std::string missing = tree_ / "missing.qc";
        QCOMPARE(errorOf([&] { pane_->loadFromFile(missing); }), "Cannot open file " + QString::fromStdString(missing));
        ::mkfifo((tree_ / "pipe.qc").c_str(), 0644);
        for (const std::string &special : {tree_.path(), tree_ / "pipe.qc"})
            QCOMPARE(errorOf([&] { pane_->loadFromFile(special); }), QString::fromStdString(special) + " is not a regular file");
        QCOMPARE(pane_->wholeText(), QString("kept"));

        tree_.write("locked.qc", "old");
        ::chmod((tree_ / "locked.qc").c_str(), 0444);
        QCOMPARE(errorOf([&] { pane_->doc()->saveAs(tree_ / "locked.qc"); }),
                 "Cannot create file " + QString::fromStdString(tree_ / "locked.qc"));
        QCOMPARE(readFile(tree_ / "locked.qc"), std::string("old"));

        // A hard link makes the save write in place, where a full disk is found before writing.
        tree_.write("full.qc", "old");
        ::link((tree_ / "full.qc").c_str(), (tree_ / "link.qc").c_str());
        fileio::setSpaceReserver([](int, std::size_t) { return ENOSPC; });
        const QString richEditError = errorOf([&] { pane_->doc()->saveAs(tree_ / "full.qc"); });
        TextPane memo(TextPane::Kind::Memo);
        memo.setBytes("x");
        const QString memoError = errorOf([&] { memo.doc()->saveAs(tree_ / "full.qc"); });
        fileio::setSpaceReserver({});
        QCOMPARE(richEditError, QString("Failed to Save Stream"));
        QCOMPARE(memoError, QString("Stream write error"));
        QCOMPARE(readFile(tree_ / "full.qc"), std::string("old"));
    }

    void binaryFilesLoadWithoutHarm()
    {
        tree_.write("bin.dat", std::string("MZ\0\0\x90\xff\r\n\0tail", 13));
        pane_->loadFromFile(tree_ / "bin.dat");
        QVERIFY(pane_->wholeText().endsWith("tail"));
    }

    void focusNeedsAVisiblePane()
    {
        pane_->focus();
        QTRY_VERIFY(pane_->hasFocus());
        pane_->focus();
        pane_->hide();
        QCOMPARE(errorOf([&] { pane_->focus(); }), QString("Cannot focus a disabled or invisible window"));
    }

    void borderSwitchKeepsTextAndReadOnly()
    {
        pane_->setReadOnly(true);
        pane_->setBytes("view");
        pane_->setBorder(TextPane::Border::Single);
        pane_->setBorder(TextPane::Border::Single);
        QCOMPARE(pane_->frameShape(), QFrame::Box);
        pane_->setBorder(TextPane::Border::None);
        QCOMPARE(pane_->frameShape(), QFrame::NoFrame);
        QCOMPARE(pane_->wholeText(), QString("view"));
        QVERIFY(pane_->isReadOnly());
    }

    void charactersOutsideTheCodePageAreNotAccepted()
    {
        pane_->setFocus();
        for (const QString &typed : {QString("a"), QString::fromUtf8("\u4E2D"), QString::fromUtf8("\u00E9")}) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, typed);
            QApplication::sendEvent(pane_.get(), &press);
        }
        QApplication::clipboard()->setText(QString::fromUtf8("x\u0100y\r\nz"));
        pane_->paste();
        QCOMPARE(pane_->wholeText(), QString::fromUtf8("a\u00E9xy\r\nz"));
        pane_->doc()->saveAs(tree_ / "typed.qc");
        QCOMPARE(readFile(tree_ / "typed.qc"), std::string("a\xe9xy\nz"));
    }
};

QTEST_MAIN(PaneTest)
#include "tst_panes.moc"
