#pragma once

#include <QMainWindow>

class Application;
class DiagramScene;
class QGraphicsView;
class ToolBar;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(Application* application);
    ~MainWindow() override;

    DiagramScene* getScene() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Application* const application;
    ToolBar* const toolBar;
    DiagramScene* const scene;
    QGraphicsView* const view;
};
