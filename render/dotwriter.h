#pragma once

#include "items/diagramfile.h"

#include <QString>

// A diagram as a Graphviz graph: each entity a record-shaped node with its
// name over its attributes, each line an edge with its name and its
// multiplicities at its ends.
class DotWriter
{
public:
    static QString write(const DiagramFile::Diagram& diagram);
};
