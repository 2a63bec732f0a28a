#include "app/mainwindow.h"

#include "app/application.h"
#include "scene/diagramscene.h"
#include "ui/toolbar.h"

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
{
    setGeometry(100, 100, 800, 600);

    auto* deleteShortcut = new QShortcut(deleteKey, this, nullptr, nullptr, Qt::WindowShortcut);
    connect(deleteShortcut, &QShortcut::activated, scene, &DiagramScene::deleteSelected);

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
