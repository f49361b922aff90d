// The window on a 1280 x 1024 screen scaled to 2: fonts that scale cleanly, with the metrics of
// the faces they stand in for, and a window that fits the screen.
#include "widgettesting.h"

#include "lists/filelistbox.h"
#include "panes/textpane.h"
#include "ui/fonts.h"
#include "ui/notebook.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QScreen>
#include <QTemporaryFile>
#include <QTest>

using namespace vardo;
using namespace vardo::testing;

class ScaledWindow : public QObject {
    Q_OBJECT

private:
    CurrentDirectoryGuard guard_;
    TempTree tree_;

private slots:
    void initTestCase()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        registerWindowsFonts();
    }

    void facesScaleCleanlyWithTheMetricsTheyStandFor()
    {
        const std::unique_ptr<TForm1> form = startForm(tree_.path());
        QVERIFY(form);
        form->Manager->setCurrentIndex(TForm1::HelpPage);
        const struct {
            QWidget *widget;
            const char *family;
            int pixels;
            bool bold;
        } faces[] = {
            {form.get(), "MS Sans Serif", 11, false}, {form->test, "System", 12, true},
            {form->Memos[0], "System", 12, true},     {form->qclista, "Tahoma", 12, true},
            {form->Memos[7], "Comic Sans MS", 13, false},
        };
        const qreal scale = qApp->devicePixelRatio();
        for (const auto &face : faces) {
            QFont designed(QLatin1String(face.family));
            designed.setPixelSize(face.pixels);
            designed.setBold(face.bold);
            const QFont drawn = face.widget->font();
            QVERIFY2(scalesCleanly(drawn), face.family);
            const qreal lineError = QFontMetricsF(drawn).lineSpacing() - QFontMetricsF(designed).lineSpacing();
            const qreal widthError = averageLetterWidth(drawn) - averageLetterWidth(designed);
            QVERIFY2(qAbs(lineError) * scale <= 1, qPrintable(QStringLiteral("%1: line %2").arg(face.family).arg(lineError)));
            QVERIFY2(qAbs(widthError) * scale <= 1, qPrintable(QStringLiteral("%1: width %2").arg(face.family).arg(widthError)));
        }
        // The faces that scale by themselves stay.
        QCOMPARE(form->Memos[7]->font().family(), QStringLiteral("Comic Sans MS"));
    }

    // The line numbers measure in the pane's font at the scaled size, and the text starts past
    // them.
    void lineNumbersFitTheirFont()
    {
        const std::unique_ptr<TForm1> form = startForm(tree_.path());
        QVERIFY(form);
        for (TextPane *pane : {form->vardo, form->veer}) {
            pane->setPlainText(QString(1234, u'\n'));
            const QWidget *gutter = pane->findChild<QWidget *>(QStringLiteral("lineNumbers"));
            QVERIFY(gutter);
            QVERIFY(gutter->width() > pane->fontMetrics().horizontalAdvance(QStringLiteral("1235")));
            QCOMPARE(pane->viewport()->x(), gutter->geometry().right() + 1);
        }
    }

    void windowFitsTheScreen()
    {
        const std::unique_ptr<TForm1> form = startForm(tree_.path());
        QVERIFY(form);
        const QRect screen = form->screen()->availableGeometry();
        QCOMPARE(screen.size(), QSize(640, 512));
        QVERIFY2(screen.contains(form->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(form->frameGeometry().x()).arg(form->frameGeometry().y())
                                .arg(form->frameGeometry().width()).arg(form->frameGeometry().height())));
        QVERIFY(form->width() >= 600);
    }
};

int main(int argc, char **argv)
{
    // A screen of 1280 x 1024 device pixels, drawn at twice the size.
    QTemporaryFile screen;
    if (!screen.open())
        return 1;
    screen.write(R"({"screens": [{"name": "scaled", "x": 0, "y": 0, "width": 1280, "height": 1024,
                     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    screen.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screen.fileName().toLocal8Bit());
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    ScaledWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_scaled.moc"
