#include "support/testsupport.h"

class TestDiagramfile : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }
};

DIAGRAM_TEST_MAIN(TestDiagramfile)
#include "tst_diagramfile.moc"
