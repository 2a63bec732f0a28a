#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"
#include "ui/diagrammenu.h"
#include "ui/entityeditwindow.h"
#include "ui/entitymenu.h"
#include "ui/lineeditwindow.h"
#include "ui/linemenu.h"
#include "ui/toolbar.h"

#include <QGraphicsView>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

class TestMenus : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void entityMenuEntriesAndDelete();
    void entityMenuConnectorCommands_data();
    void entityMenuConnectorCommands();
    void lineMenuEntriesAndDelete();
    void diagramMenuAddsEntityAndKeepsMode_data();
    void diagramMenuAddsEntityAndKeepsMode();
    void diagramMenuSelectsAllInsideScene();
    void itemMenuOpensOnceAndLeavesNoGrab_data();
    void itemMenuOpensOnceAndLeavesNoGrab();
    void connectorCommandsStayWithinTheDiagramBound_data();
    void connectorCommandsStayWithinTheDiagramBound();

private:
    // The menu runs inside the press; the release keeps QTest's button state
    // clean for the next press.
    void rightClickAt(const QPointF& at)
    {
        pressAt(at, Qt::RightButton);
        QTest::mouseRelease(view()->viewport(), Qt::RightButton, {}, view()->mapFromScene(at));
    }
    // Inside the box and clear of the connectors on its outline.
    static QPointF bodyOf(const Entity* entity)
    {
        return entity->pos() + QPointF(12, std::min(entity->rect().height(), 80.0) - 10);
    }
    static void cancelEditWindow(QWidget* window)
    {
        QVERIFY(window->isVisible());
        QTest::mouseClick(window->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    }
};

static const char noEntry[] = "no such entry";

void TestMenus::entityMenuEntriesAndDelete()
{
    Entity* entity = addEntity(5000, 5000);
    Entity* right = addEntity(5400, 5000);
    Entity* below = addEntity(5000, 5300);
    QVERIFY(joinByMouse(entity->connectorAt(Entity::RightSide, 1), right->connectorAt(Entity::LeftSide, 1)));
    QVERIFY(joinByMouse(entity->connectorAt(Entity::BottomSide, 0), below->connectorAt(Entity::TopSide, 0)));
    Line* survivor = joinByMouse(right->connectorAt(Entity::BottomSide, 0), below->connectorAt(Entity::RightSide, 0));
    QVERIFY(survivor);
    right->setSelected(true);
    app()->setModified(false);

    QStringList seen;
    chooseMenuEntry(noEntry, &seen);
    rightClickAt(bodyOf(entity));
    QCOMPARE(seen, (QStringList{"Select", "Edit", "Delete", "-", "Add Connectors", "Delete Connectors"}));
    QCOMPARE(scene()->selectedItems(), QList<QGraphicsItem*>{entity});
    QVERIFY(app()->isModified());
    QCOMPARE(itemsOfType<Line>(scene()).size(), 3);
    QCOMPARE(itemsOfType<Connector>(scene()).size(), 24);

    chooseMenuEntry("Select");
    rightClickAt(bodyOf(entity));
    QCOMPARE(scene()->selectedItems(), QList<QGraphicsItem*>{entity});
    chooseMenuEntry("Edit");
    rightClickAt(bodyOf(entity));
    cancelEditWindow(sharedWindow<EntityEditWindow>());

    chooseMenuEntry("Delete");
    rightClickAt(bodyOf(entity));
    QCOMPARE(itemsOfType<Entity>(scene()).size(), 2);
    QVERIFY(!itemsOfType<Entity>(scene()).contains(entity));
    QCOMPARE(itemsOfType<Line>(scene()), QList<Line*>{survivor});
    QVERIFY(right->connectorAt(Entity::LeftSide, 1)->isFree());
    QVERIFY(below->connectorAt(Entity::TopSide, 0)->isFree());
}

void TestMenus::entityMenuConnectorCommands_data()
{
    // Counts as "horxver"; busy as the side (t, r, b, l) and how many of its
    // first connectors carry lines; entries a for "Add Connectors", d for
    // "Delete Connectors".
    QTest::addColumn<QString>("counts");
    QTest::addColumn<QString>("busy");
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QString>("expected");
    QTest::newRow("add once") << "2x2" << "t0" << "a" << "2x3";
    QTest::newRow("add twice") << "2x2" << "t0" << "aa" << "3x3";
    QTest::newRow("add three times") << "2x2" << "t0" << "aaa" << "3x4";
    QTest::newRow("delete from 3 and 3") << "3x3" << "t0" << "d" << "2x3";
    QTest::newRow("delete twice from 3 and 3") << "3x3" << "t0" << "dd" << "2x2";
    QTest::newRow("delete keeps one per side") << "1x1" << "t0" << "d" << "1x1";
    QTest::newRow("two of three top busy") << "3x2" << "t2" << "d" << "2x2";
    QTest::newRow("all top busy") << "3x2" << "t3" << "d" << "3x1";
    QTest::newRow("all right busy") << "2x3" << "r3" << "d" << "2x3";
    QTest::newRow("add at 1000 each") << "1000x1000" << "t0" << "a" << "1000x1000";
    QTest::newRow("add up to 1000") << "999x1000" << "t0" << "aa" << "1000x1000";
}

// A shrink must never take a connector that carries a line, nor go below one
// connector, and growth must stop where the diagram reader stops accepting.
void TestMenus::entityMenuConnectorCommands()
{
    QFETCH(QString, counts);
    QFETCH(QString, busy);
    QFETCH(QString, entries);
    QFETCH(QString, expected);
    Entity* entity = addEntity(5000, 5000);
    entity->setHorConnectorCount(counts.section('x', 0, 0).toInt());
    entity->setVerConnectorCount(counts.section('x', 1, 1).toInt());
    entity->updateLayout();
    const int busySide = QStringLiteral("trbl").indexOf(busy[0]);
    const int busyCount = busy.mid(1).toInt();
    QList<Line*> lines;
    for (int i = 0; i < busyCount; ++i) {
        lines << joinByMouse(entity->connectorAt(busySide, i), addEntity(4400 + 200 * i, 4500)->connectorAt(0, 0));
        QVERIFY(lines.last());
    }
    for (const QChar entry : entries) {
        chooseMenuEntry(entry == 'a' ? "Add Connectors" : "Delete Connectors");
        rightClickAt(bodyOf(entity));
    }

    const int hor = entity->horConnectorCount();
    const int ver = entity->verConnectorCount();
    QCOMPARE(QStringLiteral("%1x%2").arg(hor).arg(ver), expected);
    QCOMPARE(itemsOfType<Connector>(scene()).size(), 2 * hor + 2 * ver + 8 * busyCount);
    QCOMPARE(itemsOfType<Line>(scene()).size(), busyCount);
    for (Line* line : lines)
        QCOMPARE(line->line().p1(), centreOf(line->startConnector()));
    QVERIFY(entity->rect().width() >= hor * connectorSpacing);
    QVERIFY(entity->rect().height() >= ver * connectorSpacing);
}

void TestMenus::lineMenuEntriesAndDelete()
{
    Entity* left = addEntity(4700, 5000);
    Entity* right = addEntity(5300, 5000);
    Connector* start = left->connectorAt(Entity::RightSide, 1);
    Connector* end = right->connectorAt(Entity::LeftSide, 1);
    Line* line = joinByMouse(start, end);
    QVERIFY(line);
    addEntity(5000, 5300)->setSelected(true);
    const QPointF onLine = line->line().pointAt(0.25); // clear of all three labels

    QStringList seen;
    chooseMenuEntry(noEntry, &seen);
    rightClickAt(onLine);
    QCOMPARE(seen, (QStringList{"Select", "Edit", "Delete"}));
    QCOMPARE(scene()->selectedItems(), QList<QGraphicsItem*>{line});
    chooseMenuEntry("Select");
    rightClickAt(onLine);
    QCOMPARE(scene()->selectedItems(), QList<QGraphicsItem*>{line});
    chooseMenuEntry("Edit");
    rightClickAt(onLine);
    cancelEditWindow(sharedWindow<LineEditWindow>());

    chooseMenuEntry("Delete");
    rightClickAt(onLine);
    QVERIFY(itemsOfType<Line>(scene()).isEmpty());
    QCOMPARE(itemsOfType<Entity>(scene()).size(), 3);
    QVERIFY(start->isFree());
    QVERIFY(end->isFree());
    Line* again = joinByMouse(end, start);
    QVERIFY(again);
    QCOMPARE(again->startConnector(), end);
}

void TestMenus::diagramMenuAddsEntityAndKeepsMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("select") << int(SelectMode);
    QTest::newRow("add entity") << int(AddEntityMode);
    QTest::newRow("add line") << int(AddLineMode);
}

// Unlike a click in the add-entity mode, the menu keeps the mode.
void TestMenus::diagramMenuAddsEntityAndKeepsMode()
{
    QFETCH(int, mode);
    app()->setMode(EditMode(mode));
    const QList<QToolButton*> buttons{toolButton(SelectButton), toolButton(AddEntityButton), toolButton(AddLineButton)};
    QCOMPARE(buttons[mode]->isChecked(), true);
    app()->setModified(false);

    const QPointF exact(120.75, 40.2);
    reveal(exact);
    QStringList seen;
    chooseMenuEntry("Add Entity", &seen);
    sharedWindow<DiagramMenu>()->execAt(view()->viewport()->mapToGlobal(view()->mapFromScene(exact)), exact);
    QCOMPARE(seen, (QStringList{"Select All", "Add Entity"}));
    QList<Entity*> entities = itemsOfType<Entity>(scene());
    QCOMPARE(entities.size(), 1);
    QCOMPARE(entities.first()->pos(), QPointF(120, 40));
    QVERIFY(app()->isModified());

    const QPointF pressed(300.6, 200.3);
    chooseMenuEntry("Add Entity");
    rightClickAt(pressed);
    const QPointF received = view()->mapToScene(view()->mapFromScene(pressed));
    QList<Entity*> after = itemsOfType<Entity>(scene());
    QCOMPARE(after.size(), 2);
    after.removeOne(entities.first());
    QCOMPARE(after.first()->pos(), QPointF(int(received.x()), int(received.y())));
    QCOMPARE(int(app()->getMode()), mode);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(buttons[i]->isChecked(), i == mode);
}

void TestMenus::diagramMenuSelectsAllInsideScene()
{
    Entity* left = addEntity(5000, 5000);
    Entity* right = addEntity(5400, 5000);
    Line* line = joinByMouse(left->connectorAt(Entity::RightSide, 1), right->connectorAt(Entity::LeftSide, 1));
    QVERIFY(line);
    Entity* outside = addEntity(-500, -500);
    app()->setModified(false);
    const QPointF empty(5200, 5400);

    QStringList seen;
    chooseMenuEntry(noEntry, &seen);
    rightClickAt(empty);
    QCOMPARE(seen, (QStringList{"Select All", "Add Entity"}));
    QVERIFY(scene()->selectedItems().isEmpty());
    QCOMPARE(itemsOfType<Entity>(scene()).size(), 3);

    chooseMenuEntry("Select All");
    rightClickAt(empty);
    const QList<QGraphicsItem*> selected = scene()->selectedItems();
    QCOMPARE(QSet<QGraphicsItem*>(selected.begin(), selected.end()), (QSet<QGraphicsItem*>{left, right, line}));
    QVERIFY(!outside->isSelected());
    QVERIFY(!app()->isModified());
}


void TestMenus::itemMenuOpensOnceAndLeavesNoGrab_data()
{
    QTest::addColumn<bool>("onLine");
    QTest::addColumn<bool>("doubleClick");
    QTest::newRow("entity, right click") << false << false;
    QTest::newRow("entity, right double click") << false << true;
    QTest::newRow("line, right click") << true << false;
    QTest::newRow("line, right double click") << true << true;
}

// The base class hands a double click to the press handler, which would open
// the menu a second time; and the menu takes the release, so the item must not
// keep the mouse, or the next press would go to it wherever it lands.
void TestMenus::itemMenuOpensOnceAndLeavesNoGrab()
{
    QFETCH(bool, onLine);
    QFETCH(bool, doubleClick);
    Entity* a = addEntity(5000, 5000);
    Entity* b = addEntity(5300, 5000);
    Line* line = joinByMouse(a->connectorAt(Entity::RightSide, 1), b->connectorAt(Entity::LeftSide, 1));
    QVERIFY(line);
    QMenu* menu = onLine ? static_cast<QMenu*>(sharedWindow<LineMenu>()) : static_cast<QMenu*>(sharedWindow<EntityMenu>());
    int shown = 0;
    connect(menu, &QMenu::aboutToShow, menu, [menu, &shown] {
        ++shown;
        QTimer::singleShot(0, menu, &QMenu::close);
    });
    const QPointF at = onLine ? line->line().center() : bodyOf(a);
    rightClickAt(at);
    if (doubleClick) {
        QTest::mouseDClick(view()->viewport(), Qt::RightButton, {}, view()->mapFromScene(at));
        QTest::mouseRelease(view()->viewport(), Qt::RightButton, {}, view()->mapFromScene(at));
    }
    QCOMPARE(shown, 1);
    QVERIFY(!scene()->mouseGrabberItem());

    const QPointF elsewhere(5150, 5300);
    dragFromTo(elsewhere, elsewhere + QPointF(30, 30));
    QCOMPARE(a->pos(), QPointF(5000, 5000));
}

void TestMenus::connectorCommandsStayWithinTheDiagramBound_data()
{
    QTest::addColumn<int>("spare");
    QTest::addColumn<bool>("throughWindow");
    QTest::newRow("Add Connectors at the bound") << 0 << false;
    QTest::newRow("Add Connectors one pair short of it") << 2 << false;
    QTest::newRow("Apply at the bound") << 0 << true;
    QTest::newRow("Apply one pair short of it") << 2 << true;
}

// Neither command may make a diagram that the reader would refuse; short of
// the bound they grow as ever. Apply still stores the name.
void TestMenus::connectorCommandsStayWithinTheDiagramBound()
{
    QFETCH(int, spare);
    QFETCH(bool, throughWindow);
    constexpr int fullEntities = maxConnectorsPerDiagram / (4 * maxConnectorsPerSide) - 1;
    for (int i = 0; i < fullEntities; ++i) {
        Entity* full = addEntity(100 + 400 * (i % 20), 100 + 400 * (i / 20));
        full->setHorConnectorCount(maxConnectorsPerSide);
        full->setVerConnectorCount(maxConnectorsPerSide);
    }
    // The last 4,000 connectors of the bound, less the spare, on two entities.
    Entity* filler = addEntity(100, 8000);
    filler->setHorConnectorCount(500);
    filler->setVerConnectorCount(500 - spare / 2);
    Entity* entity = addEntity(5000, 9000);
    entity->setHorConnectorCount(500);
    entity->setVerConnectorCount(500);
    entity->updateLayout();
    QCOMPARE(itemsOfType<Connector>(scene()).size(), maxConnectorsPerDiagram - spare);
    const int hor = entity->horConnectorCount();
    const int ver = entity->verConnectorCount();

    if (throughWindow) {
        entity->openEditWindow();
        EntityEditWindow* window = sharedWindow<EntityEditWindow>();
        window->findChild<QLineEdit*>("nameEdit")->setText("Grown");
        window->findChild<QSpinBox*>("verConnectorsSpin")->setValue(ver + 2);
        QTest::mouseClick(window->findChild<QPushButton*>("applyButton"), Qt::LeftButton);
        QCOMPARE(entity->name(), QStringLiteral("Grown"));
    } else {
        chooseMenuEntry("Add Connectors");
        rightClickAt(bodyOf(entity));
    }
    QCOMPARE(entity->verConnectorCount(), spare ? ver + 1 : ver);
    QCOMPARE(entity->horConnectorCount(), hor);
    QCOMPARE(itemsOfType<Connector>(scene()).size(), maxConnectorsPerDiagram);
}

DIAGRAM_TEST_MAIN(TestMenus)
#include "tst_menus.moc"
