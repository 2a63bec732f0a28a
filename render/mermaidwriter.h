#pragma once

#include "items/diagramfile.h"

#include <QString>

// A diagram as a Mermaid erDiagram, for the documents, chats and Markdown
// files that draw one: each entity with its attributes, each line as a
// relationship whose cardinalities come from the multiplicities.
class MermaidWriter
{
public:
    static QString write(const DiagramFile::Diagram& diagram);
};
