#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class Schema;

// The lines that a schema's foreign keys become, and the keys that the editor
// cannot draw, each with the reason: it joins two entities at most once and
// never an entity to itself.
class SchemaRelations
{
public:
    struct Relation {
        // Indices into the schema's tables: the referencing one, the referenced one.
        int from = 0;
        int to = 0;
        QString name;
        QString multiplicityFrom;
        QString multiplicityTo;
    };
    enum Reason { AlreadyJoined, JoinsItself, NotImported, reasonCount };

    // Tables are named as their entities are.
    SchemaRelations(const Schema& schema, const QStringList& tableNames);

    const QList<Relation>& relations() const;
    // One line per key not drawn, saying why.
    const QStringList& notDrawn() const;
    int notDrawnCount(Reason reason) const;

private:
    void addKey(const Schema& schema, int from, int keyIndex);
    void skip(Reason reason, const QString& message);

    const QStringList tableNames;
    QList<Relation> m_relations;
    // The key each line was drawn for, and the line that joins each pair of
    // tables (the smaller index first).
    QStringList drawnKeys;
    QHash<QPair<int, int>, int> lineOfPair;
    QStringList m_notDrawn;
    int counts[reasonCount] = {};
};
