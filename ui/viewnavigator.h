#pragma once

#include <QObject>
#include <QPoint>

class QGraphicsView;

// Zoom and the place the view shows: none of it is part of the diagram, so
// none of it marks the diagram modified, makes an undo step or is saved.
class ViewNavigator : public QObject
{
    Q_OBJECT

public:
    static constexpr qreal smallestZoom = 1.0 / 16;
    static constexpr qreal largestZoom = 8;
    static constexpr qreal zoomStep = 1.25;

    explicit ViewNavigator(QGraphicsView* view);

    qreal zoom() const;

signals:
    void zoomChanged(qreal zoom);

public slots:
    void zoomIn();
    void zoomOut();
    void resetZoom();
    void fitDiagram();
    // The diagram just opened: centred when it fits, else from its top-left corner.
    void showDiagram();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setZoom(qreal zoom);
    // The scene point under this viewport point stays under it.
    void zoomAround(const QPoint& viewportPoint, qreal newZoom);

    QGraphicsView* const view;
};
