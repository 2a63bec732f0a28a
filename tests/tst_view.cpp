#include "support/diagramcheck.h"
#include "support/filebytes.h"
#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/entity.h"
#include "scene/diagramscene.h"

#include <QFile>
#include <QGraphicsView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>
#include <QWheelEvent>

#include <cmath>

namespace {

qreal zoomOf(const QGraphicsView* view)
{
    return view->transform().m11();
}

} // namespace

class TestView : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void zoomKeysStepWithinTheLimits();
    void ctrlWheelKeepsThePointUnderThePointer_data();
    void ctrlWheelKeepsThePointUnderThePointer();
    void mouseStaysExactAtEveryZoom_data();
    void mouseStaysExactAtEveryZoom();
    void zoomedEditsSaveAsAtOneToOne_data();
    void zoomedEditsSaveAsAtOneToOne();
    void openShowsTheDiagram_data();
    void openShowsTheDiagram();
    void farOutDrawsBarsAndComesBackWhole();

private:
    void wheel(const QPoint& at, int delta);
};

void TestView::wheel(const QPoint& at, int delta)
{
    QWheelEvent event(at, view()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view()->viewport(), &event);
}

// Steps of 1.25 around the centre, stopping at 8 and at 1/16, and back to
// 1:1; none of it changes the diagram.
void TestView::zoomKeysStepWithinTheLimits()
{
    addEntity(100, 100);
    app()->setModified(false);
    const int steps = scene()->undoStack()->count();
    pressKey(Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(zoomOf(view()), 1.25);
    pressKey(Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(zoomOf(view()), 1.0);
    for (int i = 0; i < 20; ++i)
        pressKey(Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(zoomOf(view()), 8.0);
    for (int i = 0; i < 40; ++i)
        pressKey(Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(zoomOf(view()), 1.0 / 16);
    pressKey(Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(zoomOf(view()), 1.0);
    pressKey(Qt::Key_9, Qt::ControlModifier);
    QVERIFY(zoomOf(view()) > 1);
    QVERIFY(view()->mapToScene(view()->viewport()->rect()).boundingRect().contains(
        scene()->itemsBoundingRect()));
    QVERIFY(!app()->isModified());
    QCOMPARE(scene()->undoStack()->count(), steps);
}

void TestView::ctrlWheelKeepsThePointUnderThePointer_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("delta");
    QTest::newRow("in, near a corner") << QPoint(30, 40) << 120;
    QTest::newRow("out, off centre") << QPoint(500, 300) << -240;
    QTest::newRow("half a notch in") << QPoint(200, 420) << 60;
}

void TestView::ctrlWheelKeepsThePointUnderThePointer()
{
    QFETCH(QPoint, at);
    QFETCH(int, delta);
    const QPointF before = view()->mapToScene(at);
    wheel(at, delta);
    QCOMPARE(zoomOf(view()), std::pow(1.25, delta / 120.0));
    // Scrolling moves by whole pixels, so the point may move by one.
    QVERIFY2(QLineF(view()->mapToScene(at), before).length() <= 1.5 / zoomOf(view()),
             qPrintable(QStringLiteral("%1, %2").arg(view()->mapToScene(at).x()).arg(view()->mapToScene(at).y())));
}

void TestView::mouseStaysExactAtEveryZoom_data()
{
    QTest::addColumn<qreal>("zoom");
    for (const qreal zoom : {0.25, 0.64, 1.953125, 4.0})
        QTest::newRow(qPrintable(QString::number(zoom))) << zoom;
}

// A click places the entity on the truncated scene point under the pointer,
// a press hits the connector drawn under it, a drag moves by the scene distance.
void TestView::mouseStaysExactAtEveryZoom()
{
    QFETCH(qreal, zoom);
    view()->setTransform(QTransform::fromScale(zoom, zoom));
    toolButton(AddEntityButton)->click();
    const QPoint pointer = view()->mapFromScene(QPointF(1203.4, 987.6));
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, pointer);
    QList<Entity*> entities = itemsOfType<Entity>(scene());
    QCOMPARE(entities.size(), 1);
    QCOMPARE(entities.first()->pos(), truncated(view()->mapToScene(pointer)));

    Entity* other = addEntity(1500, 1100);
    QVERIFY(joinByMouse(entities.first()->connectorAt(Entity::RightSide, 0), other->connectorAt(Entity::LeftSide, 1)));

    const QPointF grab = other->pos() + QPointF(20, 30);
    const QPoint from = view()->mapFromScene(grab);
    const QPoint to = view()->mapFromScene(grab + QPointF(150, -60));
    const QPointF expected = other->pos() + view()->mapToScene(to) - view()->mapToScene(from);
    dragFromTo(view()->mapToScene(from), view()->mapToScene(to));
    QVERIFY2(QLineF(other->pos(), expected).length() < 1e-6,
             qPrintable(QStringLiteral("%1, %2").arg(other->pos().x()).arg(other->pos().y())));
    QCOMPARE(diagramFault(scene()), QString());
}

void TestView::zoomedEditsSaveAsAtOneToOne_data()
{
    QTest::addColumn<qreal>("zoom");
    // Scene points on multiples of this lie on whole pixels at the zoom.
    QTest::addColumn<int>("grid");
    QTest::newRow("1/4") << 0.25 << 4;
    QTest::newRow("0.64") << 0.64 << 25;
    QTest::newRow("125/64") << 1.953125 << 64;
    QTest::newRow("4") << 4.0 << 1;
}

// Placing, joining and dragging by the mouse at the same scene points give
// the same file at any zoom as at 1:1.
void TestView::zoomedEditsSaveAsAtOneToOne()
{
    QFETCH(qreal, zoom);
    QFETCH(int, grid);
    const auto onGrid = [grid](qreal x, qreal y) {
        return QPointF(grid * std::round(x / grid), grid * std::round(y / grid));
    };
    QPointF grab;
    const auto edit = [&](qreal atZoom) {
        view()->setTransform(QTransform::fromScale(atZoom, atZoom));
        Entity* left = placeEntity(onGrid(1200, 1000), QStringLiteral("L"));
        Entity* right = placeEntity(onGrid(1500, 1100), QStringLiteral("R"));
        joinByMouse(left->connectorAt(Entity::RightSide, 0), right->connectorAt(Entity::LeftSide, 1));
        if (grab.isNull()) {
            reveal(right->pos() + QPointF(30, 10));
            grab = view()->mapToScene(view()->mapFromScene(right->pos() + QPointF(30, 10)));
        }
        dragFromTo(grab, grab + onGrid(150, -60));
        return savedBytes(scene());
    };
    const QByteArray zoomed = edit(zoom);
    stopApplication();
    startApplication();
    QCOMPARE(edit(1), zoomed);
}

void TestView::openShowsTheDiagram_data()
{
    QTest::addColumn<QPoint>("corner");
    QTest::newRow("top left") << QPoint(0, 0);
    QTest::newRow("top right") << QPoint(9880, 0);
    QTest::newRow("bottom left") << QPoint(0, 9900);
    QTest::newRow("bottom right") << QPoint(9880, 9900);
    QTest::newRow("wider than the view") << QPoint(5000, 40);
}

// Centred when it fits, else from its top-left corner: either way in view.
void TestView::openShowsTheDiagram()
{
    QFETCH(QPoint, corner);
    QList<QByteArray> entities{entityRecord("A", 2, 2, {}, corner)};
    if (QTest::currentDataTag() == QByteArray("wider than the view"))
        entities.append(entityRecord("B", 2, 2, {}, corner + QPoint(3000, 0)));
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("corner.diagram")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(diagram(entities, {}));
    file.close();
    answerInTurn({QStringLiteral("file:") + file.fileName()});
    toolButton(OpenButton)->click();
    const QRectF shown = view()->mapToScene(view()->viewport()->rect()).boundingRect();
    // The view reaches no further than the canvas.
    const QRectF items = scene()->itemsBoundingRect() & scene()->sceneRect();
    QVERIFY(shown.intersects(items));
    QVERIFY2(shown.contains(items) || shown.contains(items.topLeft()),
             qPrintable(QStringLiteral("%1 %2").arg(shown.x()).arg(shown.y())));
}

// Zoomed far out the texts become bars and the connectors go; back at 1:1
// every entity must be drawn whole again, also one made while zoomed out.
void TestView::farOutDrawsBarsAndComesBackWhole()
{
    const Entity* before = addEntity(1000, 1000);
    const auto pictureAround = [this](const Entity* entity) {
        view()->centerOn(entity->pos() + entity->rect().center());
        return view()->viewport()->grab().toImage();
    };
    const QImage whole = pictureAround(before);
    for (int i = 0; i < 7; ++i)
        pressKey(Qt::Key_Minus, Qt::ControlModifier);
    QVERIFY(zoomOf(view()) < 0.25);
    const Entity* madeFarOut = addEntity(3000, 3000);
    const QImage farOut = pictureAround(madeFarOut);
    QVERIFY(farOut.pixelColor(view()->mapFromScene(madeFarOut->pos() + QPointF(12, 10))) == QColor(Qt::lightGray));
    pressKey(Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(pictureAround(before), whole);
    QCOMPARE(pictureAround(madeFarOut), whole);
}

DIAGRAM_TEST_MAIN(TestView)
#include "tst_view.moc"
