#include "support/testsupport.h"

class TestEditwindows : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }
};

DIAGRAM_TEST_MAIN(TestEditwindows)
#include "tst_editwindows.moc"
