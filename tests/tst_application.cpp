#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"
#include "ui/entityeditwindow.h"
#include "ui/lineeditwindow.h"

#include <QGraphicsView>
#include <QPushButton>
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
    void keysDoNothingWhileEditing_data();
    void keysDoNothingWhileEditing();
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

void TestApplication::keysDoNothingWhileEditing_data()
{
    QTest::addColumn<bool>("line");
    QTest::addColumn<Qt::Key>("key");
    for (const bool line : {false, true}) {
        for (const Qt::Key key : {Qt::Key_S, Qt::Key_E, Qt::Key_L, Qt::Key_Delete, Qt::Key_Escape})
            QTest::addRow("%s, %s", line ? "line editing" : "entity editing",
                          qPrintable(QKeySequence(key).toString())) << line << key;
    }
}

// An editing window is modal: while it is open the main window's keys neither
// switch the mode, nor delete the selection, nor close the window, even once
// the main window is active again, as after a click on it. When the editing
// window is closed they work again, so the keys did reach the main window.
void TestApplication::keysDoNothingWhileEditing()
{
    QFETCH(bool, line);
    QFETCH(Qt::Key, key);
    Entity* a = scene()->createEntity(4700, 5000, false);
    Line* joined = joinByMouse(a->connectorAt(Entity::RightSide, 1),
                               scene()->createEntity(5300, 5000, false)->connectorAt(Entity::LeftSide, 1));
    QVERIFY(joined);
    doubleClickAt(line ? joined->line().pointAt(0.25) : a->pos() + QPointF(12, 30));
    QWidget* editing = line ? static_cast<QWidget*>(sharedWindow<LineEditWindow>()) : sharedWindow<EntityEditWindow>();
    QVERIFY(QTest::qWaitForWindowActive(editing));
    window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window()));
    a->setSelected(true);
    joined->setSelected(true);
    app()->setModified(false);
    QSignalSpy modeChanges(app(), &Application::changedMode);
    const auto state = [&] {
        return QList<qsizetype>{modeChanges.count(), scene()->items().size(), window()->isVisible()};
    };
    const QList<qsizetype> before = state();

    pressKey(key);
    QCOMPARE(state(), before);
    QTest::mouseClick(editing->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window()));
    pressKey(key);
    QVERIFY(state() != before);
}

DIAGRAM_TEST_MAIN(TestApplication)
#include "tst_application.moc"
