#include "app/mainwindow.h"

#include "app/application.h"
#include "app/diagramclipboard.h"
#include "items/diagrampainter.h"
#include "scene/diagramscene.h"
#include "ui/toolbar.h"
#include "ui/viewnavigator.h"

#include <QCloseEvent>
#include <QGraphicsView>
#include <QShortcut>
#include <QVBoxLayout>

MainWindow::MainWindow(Application* application)
    : QMainWindow(nullptr)
    , application(application)
    , toolBar(new ToolBar(application, this))
    , scene(new DiagramScene(application, nullptr))
    , view(new QGraphicsView(scene, this))
    , navigator(new ViewNavigator(view))
    , clipboard(new DiagramClipboard(scene, view))
{
    setGeometry(100, 100, 800, 600);

    auto* deleteShortcut = new QShortcut(deleteKey, this, nullptr, nullptr, Qt::WindowShortcut);
    connect(deleteShortcut, &QShortcut::activated, scene, &DiagramScene::deleteSelected);
    createKeyShortcuts();
    connect(navigator, &ViewNavigator::zoomChanged, scene,
            [this](qreal zoom) { scene->setDetailShown(zoom >= DiagramPainter::smallestDetailedScale); });

    auto* layout = new QVBoxLayout;
    layout->addWidget(toolBar);
    layout->addWidget(view);
    auto* central = new QWidget;
    central->setLayout(layout);
    setCentralWidget(central);
}

// The scene has no parent object; the window that made it ends it.
MainWindow::~MainWindow()
{
    delete scene;
}

// Keys only: the tool bar and the menus keep exactly their entries.
void MainWindow::createKeyShortcuts()
{
    const auto bind = [this](const QList<QKeySequence>& keys, auto slot, auto* receiver) {
        auto* shortcut = new QShortcut(this);
        shortcut->setKeys(keys);
        connect(shortcut, &QShortcut::activated, receiver, slot);
    };
    bind({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)}, &ViewNavigator::zoomIn,
         navigator);
    bind({QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &ViewNavigator::zoomOut, navigator);
    bind({QKeySequence(Qt::CTRL | Qt::Key_0)}, &ViewNavigator::resetZoom, navigator);
    bind({QKeySequence(Qt::CTRL | Qt::Key_9)}, &ViewNavigator::fitDiagram, navigator);
    bind({QKeySequence(Qt::CTRL | Qt::Key_A)}, &DiagramScene::selectAll, scene);
    bind({QKeySequence(Qt::CTRL | Qt::Key_C)}, &DiagramClipboard::copy, clipboard);
    bind({QKeySequence(Qt::CTRL | Qt::Key_X)}, &DiagramClipboard::cut, clipboard);
    bind({QKeySequence(Qt::CTRL | Qt::Key_V)}, &DiagramClipboard::paste, clipboard);
}

void MainWindow::showDiagram()
{
    navigator->showDiagram();
}

DiagramScene* MainWindow::getScene() const
{
    return scene;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!application->isModified() || application->askToSaveChanges())
        event->accept();
    else
        event->ignore();
}
