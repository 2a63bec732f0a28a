#include "support/testsupport.h"

class TestScene : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }
};

DIAGRAM_TEST_MAIN(TestScene)
#include "tst_scene.moc"
