#pragma once

#include "items/diagramfile.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

class DiagramScene;

// Reads a whole diagram file into a scene: the one way a diagram is opened,
// by the editor, the renderer, the tests, the fuzz target and the benchmarks.
class DiagramReader
{
public:
    enum Result { Read, NotOpened, Refused };

    explicit DiagramReader(DiagramScene* scene);

    // Each clears the scene first; a refused file leaves it empty.
    Result read(const QString& path);
    Result read(FILE* file);
    // The records alone, checked as a whole as for reading: for whatever
    // draws or converts a diagram without building its items.
    static Result readRecords(const QString& path, DiagramFile::Diagram& diagram);
    // The same from a file's bytes held in memory, as the clipboard holds them.
    static Result readRecords(const QByteArray& bytes, DiagramFile::Diagram& diagram);

private:
    static Result readRecords(FILE* file, DiagramFile::Diagram& diagram);
    Result build(Result result, DiagramFile::Diagram& diagram);

    DiagramScene* const scene;
};
