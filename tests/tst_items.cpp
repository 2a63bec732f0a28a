#include "support/testsupport.h"

#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "items/linelabel.h"
#include "scene/diagramscene.h"

#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>

#include <algorithm>

namespace {

QPointF centreOfLabel(const QGraphicsTextItem* label)
{
    return label->pos() + label->boundingRect().center();
}

} // namespace

class TestItems : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void newEntityDefaults();
    void layoutFollowsTextsAndConnectorCounts_data();
    void layoutFollowsTextsAndConnectorCounts();
    void shrinkingSideKeepsBusyConnectorAndItsLine();
    void draggingKeepsLineEndsOnConnectorCentres_data();
    void draggingKeepsLineEndsOnConnectorCentres();
    void draggingStopsAtTheCanvasEdge_data();
    void draggingStopsAtTheCanvasEdge();
    void labelsArePlacedAlongTheSegment_data();
    void labelsArePlacedAlongTheSegment();
    void connectorsAreDrawnLargerInAddLineMode_data();
    void connectorsAreDrawnLargerInAddLineMode();
};

void TestItems::newEntityDefaults()
{
    Entity* entity = scene()->createEntity(5000, 5000, false);
    QCOMPARE(entity->name(), QStringLiteral("Unknown"));
    QCOMPARE(textItemsOf(entity).first()->pos(), QPointF(5, 0));
    QVERIFY(textItemsOf(entity).first()->font().bold());
    QCOMPARE(entity->attributeCount(), 0);
    QCOMPARE(entity->flags(), QGraphicsItem::ItemIsMovable | QGraphicsItem::ItemIsSelectable);
    const Connector* corner = entity->connectorAt(Entity::TopSide, 0);
    QCOMPARE(QList<qreal>({entity->zValue(), corner->zValue()}), QList<qreal>({1.0, 2.0}));
    QCOMPARE(corner->flags(), QGraphicsItem::GraphicsItemFlags());
}

void TestItems::layoutFollowsTextsAndConnectorCounts_data()
{
    QTest::addColumn<qreal>("nameWidth"); // 0 keeps the name's natural width
    QTest::addColumn<int>("hor");
    QTest::addColumn<int>("ver");
    QTest::addColumn<QStringList>("attributes");
    QTest::addColumn<int>("width"); // -1: only the general rule is checked
    QTest::addColumn<int>("height");

    QTest::newRow("new entity") << 0.0 << 2 << 2 << QStringList() << -1 << 80;
    // 130 / 3 puts the top centres at 0, 43 and 86.
    QTest::newRow("width 130, three top connectors") << 100.0 << 3 << 2 << QStringList() << 130 << 80;
    QTest::newRow("one vertical connector, name only") << 0.0 << 2 << 1 << QStringList() << -1 << 50;
    QTest::newRow("top side needs more than the text") << 40.0 << 5 << 1 << QStringList() << 200 << 50;
    QTest::newRow("widest attribute and stacked heights")
        << 0.0 << 1 << 1 << QStringList{"id", "a much longer attribute name than the name", "x", "y"} << -1 << -1;
    QTest::newRow("many vertical connectors") << 0.0 << 1 << 7 << QStringList{"id"} << -1 << 280;
}

// Sizes are integers truncated from the text metrics, and each side's
// connectors are spaced by integer division of that side's length.
void TestItems::layoutFollowsTextsAndConnectorCounts()
{
    QFETCH(qreal, nameWidth);
    QFETCH(int, hor);
    QFETCH(int, ver);
    QFETCH(QStringList, attributes);
    QFETCH(int, width);
    QFETCH(int, height);

    Entity* entity = scene()->createEntity(5000, 5000, false);
    if (nameWidth > 0)
        textItemsOf(entity).first()->setTextWidth(nameWidth);
    entity->setHorConnectorCount(hor);
    entity->setVerConnectorCount(ver);
    for (const QString& text : attributes)
        entity->addAttribute(text);
    entity->updateLayout();

    int w = int(textItemsOf(entity).first()->boundingRect().width());
    int h = int(textItemsOf(entity).first()->boundingRect().height());
    qreal nextY = textItemsOf(entity).first()->boundingRect().height();
    for (int i = 0; i < attributes.size(); ++i) {
        const QGraphicsTextItem* item = textItemsOf(entity).at(1 + i);
        QCOMPARE(item->pos(), QPointF(5, nextY));
        nextY += item->boundingRect().height();
        w = std::max(w, int(item->boundingRect().width()));
        h = int(h + item->boundingRect().height());
    }
    const int expectedWidth = std::max(w + 30, hor * connectorSpacing);
    const int expectedHeight = std::max(std::max(h, 50), ver * connectorSpacing);
    QCOMPARE(entity->rect(), QRectF(0, 0, expectedWidth, expectedHeight));
    if (width >= 0)
        QCOMPARE(expectedWidth, width);
    if (height >= 0)
        QCOMPARE(expectedHeight, height);

    // Each side runs clockwise from its own corner.
    const int sx = expectedWidth / hor;
    const int sy = expectedHeight / ver;
    for (int k = 0; k < std::max(hor, ver); ++k) {
        const QPointF expected[] = {{qreal(k * sx), 0}, {qreal(expectedWidth), qreal(k * sy)},
                                    {qreal(expectedWidth - k * sx), qreal(expectedHeight)},
                                    {0, qreal(expectedHeight - k * sy)}};
        for (int side = Entity::TopSide; side <= Entity::LeftSide; ++side) {
            if (k >= (side % 2 ? ver : hor))
                continue;
            const Connector* connector = entity->connectorAt(side, k);
            QCOMPARE(connector->index(), k);
            QCOMPARE(centreOf(connector) - entity->pos(), expected[side]);
        }
    }
}

// Shrinking must never take a connector that carries a line; the survivors
// move towards the corner and their lines move with them.
void TestItems::shrinkingSideKeepsBusyConnectorAndItsLine()
{
    Entity* a = scene()->createEntity(4800, 4900, false);
    Entity* b = scene()->createEntity(5100, 4900, false);
    a->setHorConnectorCount(3);
    a->updateLayout();
    Connector* busy = a->connectorAt(Entity::TopSide, 1);
    Connector* far = b->connectorAt(Entity::TopSide, 0);
    Line* line = joinByMouse(busy, far);
    QVERIFY(line);
    QVERIFY(line->line().p1().x() > 4800);

    a->setHorConnectorCount(1);
    a->updateLayout();
    QCOMPARE(a->busyHorConnectorCount(), 1);
    QCOMPARE(a->connectorAt(Entity::TopSide, 0), busy);
    QCOMPARE(busy->index(), 0);
    QCOMPARE(busy->line(), line);
    QCOMPARE(far->line(), line);
    QCOMPARE(centreOf(busy), QPointF(4800, 4900));
    QCOMPARE(line->line().p1(), QPointF(4800, 4900));
    QCOMPARE(line->line().p2(), truncated(centreOf(far)));
}

void TestItems::draggingKeepsLineEndsOnConnectorCentres_data()
{
    QTest::addColumn<bool>("alsoSelectB");
    QTest::newRow("one entity") << false;
    QTest::newRow("two selected entities") << true;
}

void TestItems::draggingKeepsLineEndsOnConnectorCentres()
{
    QFETCH(bool, alsoSelectB);
    Entity* a = scene()->createEntity(4800, 4900, false);
    Entity* b = scene()->createEntity(5100, 4900, false);
    Entity* c = scene()->createEntity(4950, 5150, false);
    const QList<Line*> lines = {joinByMouse(a->connectorAt(Entity::RightSide, 1), b->connectorAt(Entity::LeftSide, 1)),
                                joinByMouse(b->connectorAt(Entity::BottomSide, 1), c->connectorAt(Entity::TopSide, 0)),
                                joinByMouse(c->connectorAt(Entity::LeftSide, 0), a->connectorAt(Entity::BottomSide, 0))};
    QVERIFY(!lines.contains(nullptr));
    // From a fractional position the line ends must still be truncated to whole numbers.
    a->setPos(4800.6, 4900.3);
    a->updateLinePositions();

    a->setSelected(true);
    b->setSelected(alsoSelectB);
    const QPointF grip = a->pos() + QPointF(40, 60);
    dragFromTo(grip, grip + QPointF(100, 60));

    QCOMPARE(a->pos(), QPointF(4900.6, 4960.3));
    QCOMPARE(b->pos(), alsoSelectB ? QPointF(5200, 4960) : QPointF(5100, 4900));
    QCOMPARE(c->pos(), QPointF(4950, 5150));
    for (const Line* line : lines) {
        QCOMPARE(line->line().p1(), truncated(centreOf(line->startConnector())));
        QCOMPARE(line->line().p2(), truncated(centreOf(line->endConnector())));
    }
}

void TestItems::draggingStopsAtTheCanvasEdge_data()
{
    QTest::addColumn<QPointF>("nearEdge");
    QTest::addColumn<QPointF>("drag");
    QTest::addColumn<bool>("group");
    const struct {
        const char* name;
        QPointF nearEdge;
        QPointF drag;
    } edges[] = {{"left", {30, 5000}, {-300, 20}},
                 {"top", {5000, 30}, {20, -300}},
                 {"right", {9870, 5000}, {300, 20}},
                 {"bottom", {5000, 9890}, {20, 300}}};
    for (const auto& edge : edges) {
        QTest::addRow("%s, one entity", edge.name) << edge.nearEdge << edge.drag << false;
        QTest::addRow("%s, group", edge.name) << edge.nearEdge << edge.drag << true;
    }
}

// An entity dragged wholly off the canvas would be left out of the next save.
// The group keeps its shape: the entity at the edge stops there and the
// grabbed one, further in, moves only as far.
void TestItems::draggingStopsAtTheCanvasEdge()
{
    QFETCH(QPointF, nearEdge);
    QFETCH(QPointF, drag);
    QFETCH(bool, group);
    Entity* edgeEntity = scene()->createEntity(int(nearEdge.x()), int(nearEdge.y()), false);
    const QPointF inward = -drag / drag.manhattanLength() * 400;
    Entity* inner = scene()->createEntity(int(nearEdge.x() + inward.x()), int(nearEdge.y() + inward.y()), false);
    QVERIFY(joinByMouse(edgeEntity->connectorAt(Entity::TopSide, 1), inner->connectorAt(Entity::TopSide, 1)));
    Entity* grabbed = group ? inner : edgeEntity;
    edgeEntity->setSelected(true);
    inner->setSelected(group);
    const QPointF innerStart = inner->pos();
    const QPointF grip = grabbed->pos() + QPointF(40, 60);
    dragFromTo(grip, grip + drag);

    const QRectF canvas = scene()->sceneRect();
    const QRectF box = edgeEntity->rect().translated(edgeEntity->pos());
    QVERIFY(canvas.contains(box));
    QVERIFY(box.left() == canvas.left() || box.top() == canvas.top() || box.right() == canvas.right()
            || box.bottom() == canvas.bottom());
    if (group)
        QCOMPARE(inner->pos() - innerStart, edgeEntity->pos() - nearEdge);
    else
        QCOMPARE(inner->pos(), innerStart);
    QList<Entity*> saved;
    QList<Line*> savedLines;
    scene()->itemsInSceneRect(saved, savedLines);
    QCOMPARE(saved.size(), 2);
    QCOMPARE(savedLines.size(), 1);
}

void TestItems::labelsArePlacedAlongTheSegment_data()
{
    QTest::addColumn<QLineF>("segment");
    QTest::addColumn<QPointF>("multiplicityA");
    QTest::addColumn<QPointF>("multiplicityB");
    QTest::addColumn<QPointF>("name"); // NaN: not checked

    const qreal nan = qQNaN();
    QTest::newRow("horizontal") << QLineF(100, 50, 300, 50) << QPointF(120, 50) << QPointF(280, 50)
                                << QPointF(201.5, 51.5);
    QTest::newRow("vertical, upwards") << QLineF(100, 100, 100, 40) << QPointF(100, 80) << QPointF(100, 60)
                                       << QPointF(101.5, 71.5);
    QTest::newRow("length 12.7") << QLineF(100, 100, 112.7, 100) << QPointF(112, 100) << QPointF(100.7, 100)
                                 << QPointF(107.85, 101.5);
    QTest::newRow("length 12.7, diagonal") << QLineF(100, 100, 107.62, 110.16) << QPointF(107.2, 109.6)
                                           << QPointF(100.42, 100.56) << QPointF(nan, nan);
    QTest::newRow("length 0.5") << QLineF(100, 100, 100.5, 100) << QPointF(100, 100) << QPointF(100.5, 100)
                                << QPointF(nan, nan);
    QTest::newRow("length 0") << QLineF(100, 100, 100, 100) << QPointF(100, 100) << QPointF(100, 100)
                              << QPointF(nan, nan);
}

// Multiplicities sit 20 units in from their ends, or on the ends of a segment
// shorter than one unit; the name is centred through the pen-wide bounds.
void TestItems::labelsArePlacedAlongTheSegment()
{
    QFETCH(QLineF, segment);
    QFETCH(QPointF, multiplicityA);
    QFETCH(QPointF, multiplicityB);
    QFETCH(QPointF, name);

    auto* line = new Line(nullptr, nullptr, nullptr, nullptr, nullptr);
    scene()->addItem(line);
    line->setMultiplicityA(QStringLiteral("0..*"));
    line->setLine(segment);
    line->updatePosition();

    QCOMPARE(line->line(), segment);
    QCOMPARE(centreOfLabel(labelsOf(line).at(1)), multiplicityA);
    QCOMPARE(centreOfLabel(labelsOf(line).at(2)), multiplicityB);
    if (!qIsNaN(name.x()))
        QCOMPARE(centreOfLabel(labelsOf(line).at(0)), name);
    QCOMPARE(labelsOf(line).at(0)->font().pixelSize(), 9);
}

void TestItems::connectorsAreDrawnLargerInAddLineMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("large");
    QTest::newRow("select, free") << int(SelectMode) << false << false;
    QTest::newRow("add line, free") << int(AddLineMode) << false << true;
    QTest::newRow("select, busy") << int(SelectMode) << true << false;
    QTest::newRow("add line, busy") << int(AddLineMode) << true << true;
}

void TestItems::connectorsAreDrawnLargerInAddLineMode()
{
    QFETCH(int, mode);
    QFETCH(bool, busy);
    QFETCH(bool, large);
    // Only the connector's own outline can be dark left of and below the entity.
    Entity* a = scene()->createEntity(5000, 5000, false);
    Entity* b = scene()->createEntity(5200, 5000, false);
    Connector* corner = a->connectorAt(Entity::LeftSide, 0); // bottom-left corner
    if (busy)
        QVERIFY(joinByMouse(corner, b->connectorAt(Entity::LeftSide, 0)));
    app()->setMode(EditMode(mode));

    const QPoint centre = centreOf(corner).toPoint();
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene()->render(&painter, QRectF(0, 0, 40, 40), QRectF(centre - QPoint(20, 20), QSizeF(40, 40)));
    painter.end();
    const QPoint origin(20, 20);
    auto isDark = [&](QPoint offset) { return qGray(image.pixel(origin + offset)) < 128; };
    QCOMPARE(isDark(QPoint(-4, 2)), large);
    QCOMPARE(isDark(QPoint(-2, 1)), !large);
    QCOMPARE(isDark(QPoint(1, 4)), large);
    QCOMPARE(image.pixelColor(origin + QPoint(-1, 1)) == QColor(Qt::gray), busy);
}

DIAGRAM_TEST_MAIN(TestItems)
#include "tst_items.moc"
