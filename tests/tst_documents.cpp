#include "support/testsupport.h"

class TestDocuments : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }
};

DIAGRAM_TEST_MAIN(TestDocuments)
#include "tst_documents.moc"
