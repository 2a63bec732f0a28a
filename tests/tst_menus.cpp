#include "support/testsupport.h"

class TestMenus : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }
};

DIAGRAM_TEST_MAIN(TestMenus)
#include "tst_menus.moc"
