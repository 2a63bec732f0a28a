#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "scene/diagramscene.h"

#include <QGraphicsView>
#include <QSignalSpy>

class TestApplication : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void startsWithTitleGeometryAndEmptyCanvas();
    void modeKeysSwitchAndAlwaysAnnounce_data();
    void modeKeysSwitchAndAlwaysAnnounce();
    void modifiedIsAnnouncedWithoutComparison();
    void escapeClosesAnUnchangedDiagram();
};

void TestApplication::startsWithTitleGeometryAndEmptyCanvas()
{
    QCOMPARE(window()->windowTitle(), QStringLiteral("Diagram Editor (noname)"));
    QCOMPARE(window()->geometry(), QRect(100, 100, 800, 600));
    QVERIFY(window()->isVisible());
    QCOMPARE(app()->getMode(), SelectMode);
    QVERIFY(!app()->isModified());
    QVERIFY(!app()->isFileNameChosen());
    QCOMPARE(scene()->sceneRect(), QRectF(0, 0, 10000, 10000));
    QCOMPARE(scene()->backgroundBrush().color(), QColor(Qt::white));
    QVERIFY(scene()->items().isEmpty());
    QCOMPARE(view()->scene(), scene());
}

void TestApplication::modeKeysSwitchAndAlwaysAnnounce_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<int>("after");
    QTest::newRow("S in select") << int(SelectMode) << Qt::Key_S << int(SelectMode);
    QTest::newRow("E from select") << int(SelectMode) << Qt::Key_E << int(AddEntityMode);
    QTest::newRow("L from add entity") << int(AddEntityMode) << Qt::Key_L << int(AddLineMode);
    QTest::newRow("L in add line") << int(AddLineMode) << Qt::Key_L << int(AddLineMode);
    QTest::newRow("S from add line") << int(AddLineMode) << Qt::Key_S << int(SelectMode);
    QTest::newRow("E in add entity") << int(AddEntityMode) << Qt::Key_E << int(AddEntityMode);
}

// The mode is stored before the signal, and the signal comes also when the
// mode does not change, so receivers always run.
void TestApplication::modeKeysSwitchAndAlwaysAnnounce()
{
    QFETCH(int, before);
    QFETCH(Qt::Key, key);
    QFETCH(int, after);
    app()->setMode(EditMode(before));
    QList<int> seenModes;
    connect(app(), &Application::changedMode, this, [&] { seenModes.append(app()->getMode()); });
    pressKey(key);
    QCOMPARE(seenModes, QList<int>{after});
    QCOMPARE(int(app()->getMode()), after);
}

void TestApplication::modifiedIsAnnouncedWithoutComparison()
{
    QSignalSpy spy(app(), &Application::changedSignal);
    app()->setModified(false);
    app()->setModified(true);
    app()->setModified(true);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0).at(0).toBool(), false);
    QCOMPARE(spy.at(2).at(0).toBool(), true);
    QVERIFY(app()->isModified());
}

void TestApplication::escapeClosesAnUnchangedDiagram()
{
    pressKey(Qt::Key_Escape);
    QVERIFY(!window()->isVisible());
}

DIAGRAM_TEST_MAIN(TestApplication)
#include "tst_application.moc"
