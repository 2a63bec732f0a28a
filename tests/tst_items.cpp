#include "support/testsupport.h"

class TestItems : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }
};

DIAGRAM_TEST_MAIN(TestItems)
#include "tst_items.moc"
