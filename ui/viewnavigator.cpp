#include "ui/viewnavigator.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// A wheel's notch is 120 eighths of a degree; each notch is one zoom step.
constexpr qreal notch = 120;
// Room left between the view's edge and a diagram fitted or shown from its corner.
constexpr int cornerMargin = 10;

} // namespace

ViewNavigator::ViewNavigator(QGraphicsView* view)
    : QObject(view)
    , view(view)
{
    view->viewport()->installEventFilter(this);
}

qreal ViewNavigator::zoom() const
{
    return view->transform().m11();
}

void ViewNavigator::setZoom(qreal zoom)
{
    const qreal bounded = std::clamp(zoom, smallestZoom, largestZoom);
    view->setTransform(QTransform::fromScale(bounded, bounded));
    emit zoomChanged(bounded);
}

void ViewNavigator::zoomAround(const QPoint& viewportPoint, qreal newZoom)
{
    const QPointF scenePoint = view->mapToScene(viewportPoint);
    const QGraphicsView::ViewportAnchor anchor = view->transformationAnchor();
    view->setTransformationAnchor(QGraphicsView::NoAnchor);
    setZoom(newZoom);
    view->setTransformationAnchor(anchor);
    const QPoint drift = view->mapFromScene(scenePoint) - viewportPoint;
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->value() + drift.x());
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->value() + drift.y());
}

void ViewNavigator::zoomIn()
{
    zoomAround(view->viewport()->rect().center(), zoom() * zoomStep);
}

void ViewNavigator::zoomOut()
{
    zoomAround(view->viewport()->rect().center(), zoom() / zoomStep);
}

void ViewNavigator::resetZoom()
{
    zoomAround(view->viewport()->rect().center(), 1);
}

void ViewNavigator::fitDiagram()
{
    const QRectF items = view->scene()->itemsBoundingRect();
    if (items.isEmpty())
        return;
    const QSizeF room = QSizeF(view->viewport()->size()) - QSizeF(2 * cornerMargin, 2 * cornerMargin);
    setZoom(std::min(room.width() / items.width(), room.height() / items.height()));
    view->centerOn(items.center());
}

void ViewNavigator::showDiagram()
{
    const QRectF items = view->scene()->itemsBoundingRect();
    if (items.isEmpty())
        return;
    const QSizeF room = QSizeF(view->viewport()->size()) / zoom();
    if (items.width() <= room.width() && items.height() <= room.height()) {
        view->centerOn(items.center());
        return;
    }
    const qreal margin = cornerMargin / zoom();
    view->centerOn(items.left() - margin + room.width() / 2, items.top() - margin + room.height() / 2);
}

bool ViewNavigator::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier) || wheel->angleDelta().y() == 0)
        return QObject::eventFilter(watched, event);
    zoomAround(wheel->position().toPoint(), zoom() * std::pow(zoomStep, wheel->angleDelta().y() / notch));
    return true;
}
