#include "ui/diagrammenu.h"

#include "scene/diagramscene.h"

#include <QGraphicsItem>

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

// Items that are not selectable (connectors, texts, labels) ignore the request.
void DiagramMenu::selectAll()
{
    const QList<QGraphicsItem*> items = scene->items(scene->sceneRect(), Qt::IntersectsItemShape,
                                                     Qt::DescendingOrder);
    for (QGraphicsItem* item : items)
        item->setSelected(true);
}

void DiagramMenu::addEntity()
{
    scene->createEntity(int(scenePos.x()), int(scenePos.y()), false);
}
