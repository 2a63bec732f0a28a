#pragma once

#include <QList>
#include <QString>

#include <cstdio>

// The primitives of the diagram file: 32-bit little-endian integers and
// length-prefixed UTF-8 strings. Reads go through Application::readChecked, so
// a short read ends the whole file read with FileReadingException.
class DiagramScene;
class Entity;
class Line;

class DiagramFile
{
public:
    static void collect(DiagramScene* scene, QList<Entity*>& entities, QList<Line*>& lines);
    static void writeDiagram(FILE* file, DiagramScene* scene);
    static void readDiagram(FILE* file, DiagramScene* scene);

    static void writeInt(FILE* file, int value);
    static void writeString(FILE* file, const QString& text);
    static int readInt(FILE* file);
    static QString readString(FILE* file);
    [[noreturn]] static void reject();
};
