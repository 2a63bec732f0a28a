#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

class Connector;
class Entity;

// The records of the diagram file and the bytes they are made of: 32-bit
// little-endian integers and length-prefixed UTF-8 strings. Reads go through
// Application::readChecked, so a short read ends the whole file read with
// FileReadingException; so does anything this editor could not have written.
// DiagramReader and DiagramWriter read and write whole diagrams of them.
class DiagramFile
{
public:
    struct EntityRecord {
        int x = 0;
        int y = 0;
        QString name;
        int horConnectorCount = 2;
        int verConnectorCount = 2;
        QStringList attributes;
    };

    struct ConnectorReference {
        int entity = 0;
        int side = 0;
        int index = 0;
    };

    // A line record; its references become the connectors start and end once
    // they are resolved against the entities read.
    struct LineRecord {
        QString name;
        QString multiplicityA;
        QString multiplicityB;
        ConnectorReference startReference;
        ConnectorReference endReference;
        Connector* start = nullptr;
        Connector* end = nullptr;
    };

    // A whole file's records, in the file's order.
    struct Diagram {
        QList<EntityRecord> entities;
        QList<LineRecord> lines;
    };

    static EntityRecord readEntityRecord(FILE* file);
    static LineRecord readLineRecord(FILE* file);
    static void resolve(LineRecord& record, const QList<Entity*>& entities);
    static bool isSide(int side);

    static void writeInt(FILE* file, int value);
    static void writeString(FILE* file, const QString& text);
    static int readInt(FILE* file);
    static QString readString(FILE* file);
    [[noreturn]] static void reject();
};
