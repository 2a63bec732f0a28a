#include "support/testsupport.h"

#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"

#include <QGraphicsView>
#include <QSignalSpy>

namespace {

QStringList textsOf(const Line* line)
{
    return {line->name(), line->multiplicityA(), line->multiplicityB()};
}

// A menu that ought not to open is closed again, so such a fault fails the
// test instead of hanging it.
std::shared_ptr<bool> closeAnyPopup()
{
    auto seen = std::make_shared<bool>(false);
    answerPopup([seen](QWidget* popup) {
        *seen = true;
        popup->close();
    });
    return seen;
}

enum LineEndExit { ValidFinish, RightPressOnCanvas, RightPressOnEntity, SameModeKey, SelectModeKey, DeleteKey, ClearDiagram,
                   StartConnectorRemoved };

} // namespace

Q_DECLARE_METATYPE(LineEndExit)

class TestScene : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void addEntityModePlacesEntityAtTruncatedClick_data();
    void addEntityModePlacesEntityAtTruncatedClick();
    void lineEndStateIsEnteredAndLeft_data();
    void lineEndStateIsEnteredAndLeft();
    void refusedFinishLeavesLineEndState_data();
    void refusedFinishLeavesLineEndState();
    void reattachingAnEndKeepsTheTexts_data();
    void reattachingAnEndKeepsTheTexts();
    void deleteKeyDeletesSelectionAndAttachedLines_data();
    void deleteKeyDeletesSelectionAndAttachedLines();
};

void TestScene::addEntityModePlacesEntityAtTruncatedClick_data()
{
    QTest::addColumn<bool>("onExistingEntity");
    QTest::newRow("empty canvas") << false;
    QTest::newRow("on an entity") << true;
}

void TestScene::addEntityModePlacesEntityAtTruncatedClick()
{
    QFETCH(bool, onExistingEntity);
    Entity* existing = onExistingEntity ? scene()->createEntity(4990, 4990, false) : nullptr;
    app()->setModified(false);
    app()->setMode(AddEntityMode);
    // At three pixels per unit most pixels map to fractional scene positions.
    view()->setTransform(QTransform::fromScale(3, 3));
    view()->centerOn(5000, 5000);
    QPoint pixel = view()->mapFromScene(QPointF(5000, 5000));
    while (view()->mapToScene(pixel).x() == int(view()->mapToScene(pixel).x()))
        pixel.rx() += 1;
    while (view()->mapToScene(pixel).y() == int(view()->mapToScene(pixel).y()))
        pixel.ry() += 1;
    const QPointF clicked = view()->mapToScene(pixel);
    QSignalSpy modeSpy(app(), &Application::changedMode);

    QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, pixel);

    QList<Entity*> entities = itemsOfType<Entity>(scene());
    QCOMPARE(entities.size(), onExistingEntity ? 2 : 1);
    entities.removeOne(existing);
    QCOMPARE(entities.first()->pos(), truncated(clicked));
    QVERIFY(entities.first()->isSelected());
    QCOMPARE(app()->getMode(), SelectMode);
    QCOMPARE(modeSpy.count(), 1);
    QVERIFY(app()->isModified());
}

void TestScene::lineEndStateIsEnteredAndLeft_data()
{
    QTest::addColumn<LineEndExit>("exit");
    QTest::newRow("valid finish") << ValidFinish;
    QTest::newRow("right press on empty canvas") << RightPressOnCanvas;
    QTest::newRow("right press on an entity") << RightPressOnEntity;
    QTest::newRow("same mode again") << SameModeKey;
    QTest::newRow("select mode") << SelectModeKey;
    QTest::newRow("Delete key") << DeleteKey;
    QTest::newRow("diagram cleared") << ClearDiagram;
    QTest::newRow("start connector removed") << StartConnectorRemoved;
}

// Every way out of the line end state must delete the pending line and leave
// no pointer to it behind.
void TestScene::lineEndStateIsEnteredAndLeft()
{
    QFETCH(LineEndExit, exit);
    Entity* a = scene()->createEntity(4800, 4900, false);
    Entity* b = scene()->createEntity(5100, 4900, false);
    Connector* start = a->connectorAt(Entity::RightSide, 1);
    Connector* target = b->connectorAt(Entity::LeftSide, 1);
    app()->setMode(AddLineMode);

    pressAt(centreOf(start));
    QVERIFY((pendingLineOf(scene()) != nullptr));
    Line* pending = pendingLineOf(scene());
    QVERIFY(pending);
    QCOMPARE(pending->startConnector(), start);
    QCOMPARE(pending->line(), QLineF(truncated(centreOf(start)), truncated(centreOf(start))));
    QCOMPARE(textsOf(pending), QStringList({"Unknown", "1", "1"}));
    QVERIFY(!(pending->flags() & QGraphicsItem::ItemIsSelectable));
    moveTo(QPointF(4990, 5010));
    QCOMPARE(pending->line(), QLineF(truncated(centreOf(start)), QPointF(4990, 5010)));

    std::shared_ptr<bool> menuShown;
    switch (exit) {
    case ValidFinish:
        pressAt(centreOf(target));
        break;
    case RightPressOnCanvas:
        menuShown = closeAnyPopup();
        pressAt(QPointF(4990, 5100), Qt::RightButton);
        break;
    case RightPressOnEntity:
        menuShown = closeAnyPopup();
        pressAt(b->pos() + QPointF(40, 60), Qt::RightButton);
        break;
    case SameModeKey:
        pressKey(Qt::Key_L);
        break;
    case SelectModeKey:
        pressKey(Qt::Key_S);
        break;
    case DeleteKey:
        pressKey(Qt::Key_Delete);
        break;
    case ClearDiagram:
        scene()->clearDiagram();
        break;
    case StartConnectorRemoved: {
        // A pending line never marks its start busy, so a shrinking side can
        // take it; the corner is held busy so that the start goes first.
        Connector* corner = a->connectorAt(Entity::RightSide, 0);
        corner->setLine(pending);
        a->setVerConnectorCount(1);
        corner->clearLine();
        break;
    }
    }
    QVERIFY(!(pendingLineOf(scene()) != nullptr));
    QVERIFY(!pendingLineOf(scene()));
    QVERIFY(!menuShown || !*menuShown);
    if (exit == ClearDiagram) {
        QVERIFY(scene()->items().isEmpty());
        return;
    }
    if (exit == StartConnectorRemoved) {
        moveTo(QPointF(5000, 5020));
        QVERIFY(itemsOfType<Line>(scene()).isEmpty());
        return;
    }
    const QList<Line*> lines = itemsOfType<Line>(scene());
    QCOMPARE(lines.size(), exit == ValidFinish ? 1 : 0);
    QCOMPARE(app()->getMode(), exit == SelectModeKey ? SelectMode : AddLineMode);
    QCOMPARE(start->line(), lines.value(0));
    if (exit != ValidFinish)
        return;
    QCOMPARE(target->line(), lines.first());
    QCOMPARE(lines.first()->endConnector(), target);
    QCOMPARE(lines.first()->line(), QLineF(truncated(centreOf(start)), truncated(centreOf(target))));
    QVERIFY(lines.first()->flags() & QGraphicsItem::ItemIsSelectable);
}

void TestScene::refusedFinishLeavesLineEndState_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("same entity") << "same entity";
    QTest::newRow("busy connector") << "busy connector";
    QTest::newRow("empty canvas") << "empty canvas";
    QTest::newRow("entity already joined") << "entity already joined";
}

void TestScene::refusedFinishLeavesLineEndState()
{
    QFETCH(QString, target);
    Entity* a = scene()->createEntity(4800, 4900, false);
    Entity* b = scene()->createEntity(5100, 4900, false);
    Entity* c = scene()->createEntity(4950, 5150, false);
    QVERIFY(joinByMouse(b->connectorAt(Entity::BottomSide, 0), c->connectorAt(Entity::RightSide, 0), AddLineMode));
    QVERIFY(joinByMouse(a->connectorAt(Entity::RightSide, 0), b->connectorAt(Entity::LeftSide, 0), AddLineMode));
    Connector* start = a->connectorAt(Entity::BottomSide, 1);
    pressAt(centreOf(start));
    Line* pending = pendingLineOf(scene());
    QVERIFY(pending);
    const QHash<QString, QPointF> targets = {
        {"same entity", centreOf(a->connectorAt(Entity::LeftSide, 1))},
        {"busy connector", centreOf(c->connectorAt(Entity::RightSide, 0))},
        {"empty canvas", QPointF(5000, 4700)},
        {"entity already joined", centreOf(b->connectorAt(Entity::BottomSide, 1))},
    };

    pressAt(targets.value(target));

    QVERIFY((pendingLineOf(scene()) != nullptr));
    QCOMPARE(pendingLineOf(scene()), pending);
    QCOMPARE(pending->startConnector(), start);
    QCOMPARE(itemsOfType<Line>(scene()).size(), 3);
    QCOMPARE(app()->getMode(), AddLineMode);
    QVERIFY(scene()->selectedItems().isEmpty());
    QVERIFY(a->connectorAt(Entity::LeftSide, 1)->isFree());
    QVERIFY(b->connectorAt(Entity::BottomSide, 1)->isFree());
}

void TestScene::reattachingAnEndKeepsTheTexts_data()
{
    QTest::addColumn<bool>("grabStart");
    QTest::addColumn<bool>("finish");
    QTest::newRow("end B, finished") << false << true;
    QTest::newRow("end A, finished") << true << true;
    QTest::newRow("end B, cancelled") << false << false;
    QTest::newRow("end A, cancelled") << true << false;
}

// Grabbing a busy connector deletes its line at once; the texts travel with
// the pending line in their old roles, and a cancel does not bring it back.
void TestScene::reattachingAnEndKeepsTheTexts()
{
    QFETCH(bool, grabStart);
    QFETCH(bool, finish);
    Entity* a = scene()->createEntity(4800, 4900, false);
    Entity* b = scene()->createEntity(5100, 4900, false);
    Entity* c = scene()->createEntity(4950, 5150, false);
    Connector* startEnd = a->connectorAt(Entity::RightSide, 1);
    Connector* endEnd = b->connectorAt(Entity::LeftSide, 1);
    Line* old = joinByMouse(startEnd, endEnd, AddLineMode);
    QVERIFY(old);
    old->setName(QStringLiteral("owns"));
    old->setMultiplicityA(QStringLiteral("0..1"));
    old->setMultiplicityB(QStringLiteral("*"));
    Connector* grabbed = grabStart ? startEnd : endEnd;
    Connector* kept = grabStart ? endEnd : startEnd;

    pressAt(centreOf(grabbed));
    QVERIFY(startEnd->isFree() && endEnd->isFree());
    Line* pending = pendingLineOf(scene());
    QVERIFY(pending);
    QCOMPARE(itemsOfType<Line>(scene()), QList<Line*>{pending});
    QCOMPARE(pending->startConnector(), kept);
    QCOMPARE(pending->line(), QLineF(truncated(centreOf(kept)), centreOf(grabbed)));
    const QStringList texts = {"owns", "0..1", "*"};
    QCOMPARE(textsOf(pending), texts);

    Connector* target = c->connectorAt(Entity::TopSide, 1);
    if (finish)
        pressAt(centreOf(target));
    else
        pressKey(Qt::Key_L);
    QVERIFY(!pendingLineOf(scene()));
    const QList<Line*> lines = itemsOfType<Line>(scene());
    QCOMPARE(lines.size(), finish ? 1 : 0);
    QVERIFY(grabbed->isFree());
    QCOMPARE(kept->line(), lines.value(0));
    if (!finish)
        return;
    QCOMPARE(lines.first()->startConnector(), kept);
    QCOMPARE(lines.first()->endConnector(), target);
    QCOMPARE(textsOf(lines.first()), texts);
}

void TestScene::deleteKeyDeletesSelectionAndAttachedLines_data()
{
    QTest::addColumn<bool>("selectA");
    QTest::addColumn<bool>("selectB");
    QTest::addColumn<bool>("selectLine");
    QTest::newRow("both entities and their line") << true << true << true;
    QTest::newRow("one entity") << true << false << false;
    QTest::newRow("one entity and the line") << false << true << true;
    QTest::newRow("the line") << false << false << true;
    QTest::newRow("nothing") << false << false << false;
}

// A selected line that an entity also takes along must be deleted once only.
void TestScene::deleteKeyDeletesSelectionAndAttachedLines()
{
    QFETCH(bool, selectA);
    QFETCH(bool, selectB);
    QFETCH(bool, selectLine);
    Entity* a = scene()->createEntity(4800, 4900, false);
    Entity* b = scene()->createEntity(5100, 4900, false);
    Line* line = joinByMouse(a->connectorAt(Entity::RightSide, 1), b->connectorAt(Entity::LeftSide, 1), AddLineMode);
    QVERIFY(line);
    app()->setMode(SelectMode);
    app()->setModified(false);
    a->setSelected(selectA);
    b->setSelected(selectB);
    line->setSelected(selectLine);

    pressKey(Qt::Key_Delete);

    const QList<Entity*> entities = itemsOfType<Entity>(scene());
    QCOMPARE(entities.size(), 2 - int(selectA) - int(selectB));
    const bool anything = selectA || selectB || selectLine;
    QCOMPARE(itemsOfType<Line>(scene()).size(), anything ? 0 : 1);
    QCOMPARE(app()->isModified(), anything);
    if (!anything)
        return;
    for (const Entity* survivor : entities) {
        for (int side = Entity::TopSide; side <= Entity::LeftSide; ++side) {
            QVERIFY(survivor->connectorAt(side, 0)->isFree());
            QVERIFY(survivor->connectorAt(side, 1)->isFree());
        }
    }
}

DIAGRAM_TEST_MAIN(TestScene)
#include "tst_scene.moc"
