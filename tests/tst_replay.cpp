#include "support/diagramcheck.h"
#include "support/testsupport.h"

#include "app/diagramreader.h"
#include "app/mainwindow.h"
#include "scene/diagramscene.h"

#include <QDir>

// Replays every file the fuzzer ever found failing, and the fuzzer's seed
// diagrams, through the reader: no crash, no broken invariant, and whatever
// is accepted survives a save and a second read.
class TestReplay : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void replaysStoredInputs_data();
    void replaysStoredInputs();
};

void TestReplay::replaysStoredInputs_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("mustBeAccepted");
    const QDir failures(QStringLiteral(DIAGRAM_TEST_DATA));
    for (const QFileInfo& file : failures.entryInfoList(QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(file.fileName())) << file.filePath() << false;
    const QDir seeds(QStringLiteral(DIAGRAM_FUZZ_CORPUS));
    for (const QFileInfo& file : seeds.entryInfoList(QDir::Files, QDir::Name))
        QTest::newRow(qPrintable("seed " + file.fileName())) << file.filePath() << true;
}

void TestReplay::replaysStoredInputs()
{
    QFETCH(QString, path);
    QFETCH(bool, mustBeAccepted);
    const DiagramReader::Result result = DiagramReader(scene()).read(path);
    QVERIFY(result != DiagramReader::NotOpened);
    const bool accepted = result == DiagramReader::Read;
    QCOMPARE(diagramFault(scene()), QString());
    if (mustBeAccepted)
        QVERIFY(accepted);
    if (accepted)
        QCOMPARE(roundTripFault(scene()), QString());
    QCOMPARE(diagramFault(scene()), QString());
}

DIAGRAM_TEST_MAIN(TestReplay)
#include "tst_replay.moc"
