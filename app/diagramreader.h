#pragma once

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

private:
    Result readRecords(FILE* file);

    DiagramScene* const scene;
};
