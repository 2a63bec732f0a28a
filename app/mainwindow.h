#pragma once

#include <QMainWindow>

class Application;
class DiagramClipboard;
class DiagramScene;
class QGraphicsView;
class ToolBar;
class ViewNavigator;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(Application* application);
    ~MainWindow() override;

    DiagramScene* getScene() const;
    // After an Open: the diagram in view.
    void showDiagram();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Application* const application;
    ToolBar* const toolBar;
    DiagramScene* const scene;
    QGraphicsView* const view;
    ViewNavigator* const navigator;
    DiagramClipboard* const clipboard;

    void createKeyShortcuts();
};
