#include "ui/entitymenu.h"

#include "items/diagramchange.h"
#include "items/entity.h"

#include <QAction>

EntityMenu::EntityMenu(QWidget* parent)
    : QMenu(parent)
{
    QAction* select = addAction(QStringLiteral("Select"));
    QAction* edit = addAction(QStringLiteral("Edit"));
    QAction* remove = addAction(QStringLiteral("Delete"));
    addSeparator();
    QAction* addConnectors = addAction(QStringLiteral("Add Connectors"));
    QAction* deleteConnectors = addAction(QStringLiteral("Delete Connectors"));
    connect(select, &QAction::triggered, this, &EntityMenu::selectEntitySlot);
    connect(edit, &QAction::triggered, this, &EntityMenu::editEntitySlot);
    connect(remove, &QAction::triggered, this, &EntityMenu::deleteEntitySlot);
    connect(addConnectors, &QAction::triggered, this, &EntityMenu::addConnectorsSlot);
    connect(deleteConnectors, &QAction::triggered, this, &EntityMenu::deleteConnectorsSlot);
}

void EntityMenu::execFor(Entity* entity, const QPoint& screenPos)
{
    this->entity = entity;
    exec(screenPos);
}

void EntityMenu::selectEntitySlot()
{
    entity->setSelected(true);
}

void EntityMenu::editEntitySlot()
{
    entity->openEditWindow();
}

void EntityMenu::deleteEntitySlot()
{
    const DiagramChange change(entity->registry(), {entity}, QStringLiteral("Delete"));
    delete entity;
    entity = nullptr;
}

// The smaller pair of sides grows, right and left on a tie; neither a side nor
// the diagram ever goes past the bounds the diagram reader accepts.
void EntityMenu::addConnectorsSlot()
{
    const DiagramChange change(entity->registry(), {entity}, QStringLiteral("Add connectors"));
    const int h = entity->horConnectorCount();
    const int v = entity->verConnectorCount();
    if (h < v) {
        if (h < maxConnectorsPerSide && entity->allowsConnectorCounts(h + 1, v))
            entity->setHorConnectorCount(h + 1);
    } else if (v < maxConnectorsPerSide && entity->allowsConnectorCounts(h, v + 1)) {
        entity->setVerConnectorCount(v + 1);
    }
    entity->updateLayout();
}

// Top and bottom are tried only when they have at least as many connectors as
// right and left; a pair never drops below one connector or below its busy ones.
void EntityMenu::deleteConnectorsSlot()
{
    const DiagramChange change(entity->registry(), {entity}, QStringLiteral("Delete connectors"));
    const int h = entity->horConnectorCount();
    const int v = entity->verConnectorCount();
    if (h >= v && entity->busyHorConnectorCount() < h && h > 1)
        entity->setHorConnectorCount(h - 1);
    else if (entity->busyVerConnectorCount() < v && v > 1)
        entity->setVerConnectorCount(v - 1);
    entity->updateLayout();
}
