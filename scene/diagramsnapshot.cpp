#include "scene/diagramsnapshot.h"

bool DiagramSnapshot::End::operator==(const End& other) const
{
    return entity == other.entity && side == other.side && index == other.index;
}

bool DiagramSnapshot::EntityState::operator==(const EntityState& other) const
{
    return pos == other.pos && z == other.z && record.name == other.record.name
           && record.horConnectorCount == other.record.horConnectorCount
           && record.verConnectorCount == other.record.verConnectorCount
           && record.attributes == other.record.attributes;
}

bool DiagramSnapshot::LineState::operator==(const LineState& other) const
{
    return z == other.z && name == other.name && multiplicityA == other.multiplicityA
           && multiplicityB == other.multiplicityB && start == other.start && end == other.end;
}

bool DiagramSnapshot::operator==(const DiagramSnapshot& other) const
{
    return covered == other.covered && entities == other.entities && lines == other.lines;
}

bool DiagramSnapshot::operator!=(const DiagramSnapshot& other) const
{
    return !(*this == other);
}
