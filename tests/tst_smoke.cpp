#include "widgettesting.h"

#include <QTest>

class Smoke : public QObject {
    Q_OBJECT
private slots:
    void startsInDirectory()
    {
        vardo::testing::CurrentDirectoryGuard guard;
        vardo::testing::TempTree tree;
        auto form = vardo::testing::startForm(tree.path());
        QVERIFY(form);
    }
};

QTEST_MAIN(Smoke)
#include "tst_smoke.moc"
