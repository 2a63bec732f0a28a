#pragma once

#include <QByteArray>
#include <QString>

class DiagramScene;

// What broke in the scene's ownership web and geometry, or an empty string
// when every invariant holds.
QString diagramFault(const DiagramScene* scene);

// The diagram as a text that does not depend on item order or z-order:
// entities with names, positions, counts and attributes, and each line with
// its texts and the connectors it joins. Only what lies inside the scene
// rectangle counts, as only that is saved.
QString describeDiagram(const DiagramScene* scene);

// The bytes saving the scene would write.
QByteArray savedBytes(const DiagramScene* scene);

// Saves the scene to memory and reads it back; returns what differs, or an
// empty string when the diagram came back the same.
QString roundTripFault(DiagramScene* scene);
