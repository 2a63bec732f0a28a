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
    QGraphicsView* getView() const;
    ToolBar* getToolBar() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Application* application;
    ToolBar* toolBar;
    DiagramScene* scene;
    QGraphicsView* view;
};
