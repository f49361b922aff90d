#include "widgettesting.h"

#include "doc/document.h"
#include "doc/textcopy.h"
#include "panes/writeback.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <optional>
#include <unistd.h>

using namespace vardo;
using namespace vardo::testing;

namespace {

// Loads without a window: nothing to serve, nothing to cancel.
struct NoProgress : LoadProgress {
    void step(double) override {}
    void stopCancelling() override {}
};

void load(Document &document, const std::string &path)
{
    NoProgress progress;
    document.apply(path, Document::read(path, progress), progress);
}

} // namespace

class DocumentTest : public QObject {
    Q_OBJECT

private:
    TempTree tree_;
    QTextDocument buffer_;

private slots:
    void knowsTheFileItHolds()
    {
        const std::pair<std::string, text::LineEnds> files[] = {
            {"crlf\r\nlines\r\n", text::LineEnds::CrLf},
            {"lf\nlines\n", text::LineEnds::Lf},
            {"mixed\r\nlines\n", text::LineEnds::Mixed},
            {"one line", text::LineEnds::None},
        };
        for (const auto &[bytes, ends] : files) {
            Document document(&buffer_, "failed");
            tree_.write("f.qc", bytes);
            load(document, tree_ / "f.qc");
            QCOMPARE(document.path(), tree_ / "f.qc");
            QCOMPARE(document.lineEnds(), ends);
            QCOMPARE(document.diskVersion(), fileio::identityOf(tree_ / "f.qc"));
            QVERIFY(!document.isChanged() && !document.isReadOnly());
        }

        Document document(&buffer_, "failed");
        tree_.write("long.qc", std::string(text::kLongLineLimit + 1, 'x'));
        load(document, tree_ / "long.qc");
        QCOMPARE(document.readOnlyReason(), Document::ReadOnlyReason::LinesCut);
        // Bytes from no file keep the document's file and say whether they can be written.
        document.setBytes("short");
        QCOMPARE(document.path(), tree_ / "long.qc");
        QVERIFY(!document.isReadOnly());
    }

    // What a save must do, for every state of the text and of its file.
    // The text a load read stands for the buffer's text only while nothing has changed it, even
    // an edit undone.
    void offersTheLoadedTextWhileTheBufferHoldsIt()
    {
        Document document(&buffer_, "failed");
        tree_.write("f.qc", "void() a =\r\n{};\r\n");
        NoProgress progress;
        const FileText file = Document::read(tree_ / "f.qc", progress);
        document.apply(tree_ / "f.qc", file, progress);
        QCOMPARE(document.loadedText(), file.shown);
        QTextCursor(&buffer_).insertText("x");
        QVERIFY(!document.loadedText());
        buffer_.undo();
        QVERIFY(!document.loadedText());
        document.setBytes("b");
        QVERIFY(!document.loadedText());
    }

    // A load is lent to the next read of its file, the open of a double click, unless its
    // document ends double clicks; once the open has it, nothing holds it but its users.
    void lendsItsLoadToTheDoubleClick()
    {
        tree_.write("lent.qc", "a;\r\n");
        NoProgress progress;
        std::weak_ptr<const ShownLines> loaded;
        for (const bool lends : {false, true}) {
            Document document(&buffer_, "failed");
            document.setLendsLoadToDoubleClick(lends);
            {
                const FileText file = Document::read(tree_ / "lent.qc", progress);
                document.apply(tree_ / "lent.qc", file, progress);
                loaded = file.shown;
            }
            QCOMPARE(loaded.expired(), !lends);
        }
        Document opened(&buffer_, "failed");
        opened.setLendsLoadToDoubleClick(false);
        {
            const FileText file = Document::read(tree_ / "lent.qc", progress);
            QVERIFY(file.shown == loaded.lock());
            opened.apply(tree_ / "lent.qc", file, progress);
        }
        QVERIFY(loaded.expired());
    }

    void plansTheSaveByWhatHappenedToTheFile()
    {
        enum class Disk { Same, Rewritten, Removed };
        const struct {
            bool edited;
            Disk disk;
            SavePlan plan;
        } cases[] = {
            {false, Disk::Same, SavePlan::Write},         {true, Disk::Same, SavePlan::Write},
            {false, Disk::Rewritten, SavePlan::DiskIsNewer}, {true, Disk::Rewritten, SavePlan::AskToOverwrite},
            {false, Disk::Removed, SavePlan::NotNeeded},  {true, Disk::Removed, SavePlan::Write},
        };
        for (const auto &c : cases) {
            Document document(&buffer_, "failed");
            tree_.write("a.qc", "text");
            load(document, tree_ / "a.qc");
            if (c.edited)
                QTextCursor(&buffer_).insertText("new ");
            if (c.disk == Disk::Rewritten)
                tree_.write("a.qc", "another program's text");
            if (c.disk == Disk::Removed)
                QCOMPARE(::unlink((tree_ / "a.qc").c_str()), 0);
            QCOMPARE(document.decideSave().plan, c.plan);
        }
    }

    void aSaveRemembersWhatItWrote()
    {
        Document document(&buffer_, "failed");
        tree_.write("a.qc", "one\r\n");
        load(document, tree_ / "a.qc");
        QTextCursor(&buffer_).insertText("zero ");
        QVERIFY(document.isChanged());
        document.saveAs(tree_ / "b.qc");
        QCOMPARE(readFile(tree_ / "b.qc"), std::string("zero one\r\n"));
        QCOMPARE(document.path(), tree_ / "b.qc");
        QCOMPARE(document.diskVersion(), fileio::identityOf(tree_ / "b.qc"));
        QVERIFY(!document.isChanged());
        QCOMPARE(document.decideSave().plan, SavePlan::Write);
    }

    // Another program's save landing while the text is written stands; the text stays unsaved
    // and the user is asked, as for any outside change, whether to overwrite it.
    void aRacedSaveKeepsBothVersionsAndAsks()
    {
        for (const Choice answer : {Choice::Cancel, Choice::Overwrite}) {
            QuestionScript questions;
            questions.answers = {answer};
            Document document(&buffer_, "failed");
            tree_.write("a.qc", "one");
            load(document, tree_ / "a.qc");
            QTextCursor(&buffer_).insertText("mine ");
            int saves = 0;
            fileio::setBeforeReplaceHook([&](const std::string &) {
                if (saves++ == 0)
                    tree_.write("a.qc", "theirs");
            });
            const WriteBack result = writeBack(document);
            fileio::setBeforeReplaceHook({});
            QCOMPARE(questions.asked.size(), 1);
            QVERIFY(questions.asked[0].startsWith("a.qc was changed on disk"));
            if (answer == Choice::Cancel) {
                QCOMPARE(result, WriteBack::Cancelled);
                QCOMPARE(readFile(tree_ / "a.qc"), std::string("theirs"));
                QVERIFY(document.isChanged());
            } else {
                QCOMPARE(result, WriteBack::Written);
                QCOMPARE(readFile(tree_ / "a.qc"), std::string("mine one"));
                QVERIFY(!document.isChanged());
            }
        }
    }

    // A small text is copied at once; a large one between turns of the event loop, and a
    // change meanwhile gives the changed text, never a mix of the two.
    void copiesTheTextInSlices()
    {
        QString line = QStringLiteral("void() f =\n");
        const QString large = line.repeated(8 * TextCopy::kSlice / line.size());
        struct Case {
            QString text;
            bool changeMeanwhile;
            bool atOnce;
        } cases[] = {{QStringLiteral("a\nb"), false, true}, {large, false, false}, {large, true, false}};
        for (const Case &c : cases) {
            QTextDocument buffer;
            // Laid out, as a pane's is: a document without a layout reports no changes.
            buffer.documentLayout();
            buffer.setPlainText(c.text);
            TextCopy copy(&buffer);
            std::optional<QString> copied;
            int deliveries = 0;
            copy.start([&](QString text) {
                copied = std::move(text);
                ++deliveries;
            });
            QCOMPARE(copied.has_value(), c.atOnce);
            if (c.changeMeanwhile) {
                QCoreApplication::processEvents();
                QTextCursor(&buffer).insertText(QStringLiteral("float x;\n"));
            }
            QTRY_VERIFY(copied.has_value());
            QCOMPARE(*copied, buffer.toRawText());
            QCOMPARE(deliveries, 1);
            QVERIFY(!copy.isRunning());
        }
    }
};

QTEST_MAIN(DocumentTest)
#include "tst_document.moc"
