#pragma once

#include "items/diagramfile.h"

#include <QMap>
#include <QPointF>
#include <QSet>

// Some entities and lines of a diagram as they stand, by the number the scene
// gave each when it was added (which also says where it is stacked): enough to
// make them again exactly, or to return them to this state in place.
class DiagramSnapshot
{
public:
    // A line end: the entity's number, and the connector's side and index.
    struct End {
        quint64 entity = 0;
        int side = 0;
        int index = 0;
        bool operator==(const End& other) const;
    };

    struct EntityState {
        QPointF pos;
        qreal z = 0;
        DiagramFile::EntityRecord record;
        bool operator==(const EntityState& other) const;
    };

    struct LineState {
        qreal z = 0;
        QString name;
        QString multiplicityA;
        QString multiplicityB;
        End start;
        End end;
        bool operator==(const LineState& other) const;
    };

    // The numbers this snapshot speaks for, also those of items it holds no
    // state for because they do not exist in it.
    QSet<quint64> covered;
    QMap<quint64, EntityState> entities;
    QMap<quint64, LineState> lines;

    bool operator==(const DiagramSnapshot& other) const;
    bool operator!=(const DiagramSnapshot& other) const;
};
