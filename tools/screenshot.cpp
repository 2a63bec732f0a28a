// Takes the README's screenshots of the running editor: a small diagram of
// three entities joined by two lines, one line selected, and the two editing
// windows. Run it under a display (xvfb-run -a) with the output folder as its
// argument.
#include "app/application.h"
#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"
#include "ui/diagrammenu.h"
#include "ui/entityeditwindow.h"
#include "ui/entitymenu.h"
#include "ui/lineeditwindow.h"
#include "ui/linemenu.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsView>
#include <QPixmap>
#include <QTest>

namespace {

Entity* addEntity(DiagramScene* scene, int x, int y, const QString& name, const QStringList& attributes)
{
    Entity* entity = scene->createEntity(x, y, false);
    entity->setName(name);
    for (const QString& attribute : attributes)
        entity->addAttribute(attribute);
    entity->updateLayout();
    return entity;
}

Line* join(DiagramScene* scene, Connector* from, Connector* to, const QString& name, const QString& a,
           const QString& b)
{
    Line* line = scene->createLine(from, to);
    line->setName(name);
    line->setMultiplicityA(a);
    line->setMultiplicityB(b);
    line->updatePosition();
    return line;
}

// The editing windows and menus are windows of their own, shared by all items.
template<typename Window>
Window* topLevel()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Window*>(widget))
            return window;
    }
    return nullptr;
}

void save(QWidget* widget, const QString& path)
{
    QTest::qWait(300);
    widget->grab().save(path);
}

void saveMenu(QMenu* menu, const QString& path)
{
    menu->popup(QPoint(200, 200));
    save(menu, path);
    menu->hide();
}

} // namespace

int main(int argc, char** argv)
{
    Application application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(folder);
    MainWindow* window = application.getMainWindow();
    DiagramScene* scene = window->getScene();

    Entity* customer = addEntity(scene, 4830, 4850, "Customer", {"id", "name", "email"});
    Entity* order = addEntity(scene, 5130, 4850, "Order", {"id", "date", "total"});
    Entity* product = addEntity(scene, 5130, 5080, "Product", {"id", "title", "price"});
    join(scene, customer->connectorAt(Entity::RightSide, 1), order->connectorAt(Entity::LeftSide, 1), "places",
         "1", "*");
    Line* contains = join(scene, order->connectorAt(Entity::BottomSide, 1),
                          product->connectorAt(Entity::TopSide, 0), "contains", "*", "*");
    contains->setSelected(true);
    window->findChild<QGraphicsView*>()->centerOn(5100, 5000);
    save(window, folder + "/screenshot.png");

    order->openEditWindow();
    save(topLevel<EntityEditWindow>(), folder + "/entity-editing.png");
    topLevel<EntityEditWindow>()->close();
    contains->openEditWindow();
    save(topLevel<LineEditWindow>(), folder + "/line-editing.png");
    topLevel<LineEditWindow>()->close();

    saveMenu(topLevel<EntityMenu>(), folder + "/entity-menu.png");
    saveMenu(topLevel<LineMenu>(), folder + "/line-menu.png");
    saveMenu(topLevel<DiagramMenu>(), folder + "/diagram-menu.png");

    application.setModified(false);
    return 0;
}
