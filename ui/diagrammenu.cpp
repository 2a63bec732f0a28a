#include "ui/diagrammenu.h"

#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"

#include <QAction>
#include <QGraphicsItem>

#include <utility>

DiagramMenu::DiagramMenu(DiagramScene* scene, QWidget* parent)
    : QMenu(parent)
    , scene(scene)
    , scenePos(0, 0)
{
    QAction* selectAllAction = addAction(QStringLiteral("Select All"));
    QAction* addEntityAction = addAction(QStringLiteral("Add Entity"));
    connect(selectAllAction, &QAction::triggered, this, &DiagramMenu::selectAll);
    connect(addEntityAction, &QAction::triggered, this, &DiagramMenu::addEntity);
}

void DiagramMenu::execAt(const QPoint& screenPos, const QPointF& scenePos)
{
    this->scenePos = scenePos;
    exec(screenPos);
}

// Only entities and lines can be selected; connectors, texts and labels would
// ignore the request, so they are not asked.
void DiagramMenu::selectAll()
{
    scene->selectAll();
}

void DiagramMenu::addEntity()
{
    scene->createEntity(int(scenePos.x()), int(scenePos.y()), false);
}
