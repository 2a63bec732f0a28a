#pragma once

#include "items/diagramfile.h"
#include "items/diagramgeometry.h"
#include "render/textcache.h"

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;
class QTransform;

// A diagram as the editor would show it, nothing selected, worked out from
// the file's records alone: every box, text, connector and label where the
// items would put it, without building them. Entities and lines keep the
// file's order, which is the editor's stacking order; all lines lie below all
// entities.
class DiagramPicture
{
public:
    struct PlacedText {
        QPointF pos;
        QString string;
        const TextCache::Text* text;
    };
    struct PlacedConnector {
        QPointF pos;
        bool busy = false;
    };
    struct PlacedEntity {
        QPointF pos;
        QSize box;
        int hor = 0;
        int ver = 0;
        int separatorY = 0;
        // The name first, then the attributes; relative to the entity.
        QList<PlacedText> texts;
        // In the order the entity makes them, relative to the entity.
        QList<PlacedConnector> connectors;
        QRectF bounds;
    };
    struct PlacedLine {
        QLineF segment;
        // The name, then the multiplicities at the start and at the end.
        QList<PlacedText> labels;
        QRectF bounds;
    };
    DiagramPicture(const DiagramFile::Diagram& diagram, TextCache* texts);

    const QList<PlacedEntity>& entities() const;
    const QList<PlacedLine>& lines() const;
    // What the editor's scene calls its items' bounding rectangle.
    QRectF bounds() const;

    // Paints what lies within the device area, each item as the scene paints it
    // through this transform from the scene.
    void paint(QPainter* painter, const QTransform& sceneToDevice, const QRectF& deviceArea) const;

private:
    PlacedEntity placeEntity(const DiagramFile::EntityRecord& record);
    PlacedLine placeLine(const DiagramFile::LineRecord& record) const;
    PlacedText placeText(DiagramGeometry::TextKind kind, const QString& string, const QPointF& pos);
    QPointF connectorCentre(const DiagramFile::ConnectorReference& reference) const;
    void markBusy(const DiagramFile::ConnectorReference& reference);
    void paintEntity(QPainter* painter, const QTransform& sceneToDevice, const PlacedEntity& entity) const;
    void paintLine(QPainter* painter, const QTransform& sceneToDevice, const PlacedLine& line) const;

    TextCache* const texts;
    QList<PlacedEntity> placedEntities;
    QList<PlacedLine> placedLines;
    QRectF itemsBounds;
};
