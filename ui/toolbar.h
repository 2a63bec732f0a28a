#pragma once

#include <QIcon>
#include <QToolBar>

class Application;
class QButtonGroup;
class QToolButton;

class ToolBar : public QToolBar
{
    Q_OBJECT

public:
    ToolBar(Application* application, QWidget* parent);

public slots:
    void correctToolButtonsCheckedSlot();
    void diagramChangedSlot(bool changed);

private:
    void makeModeButton(QToolButton* button, const QString& iconPath, const QString& label,
                        const QKeySequence& key);

    Application* const application;
    QButtonGroup* const modeButtonGroup;
    QToolButton* const saveButton;
    QToolButton* const saveAsButton;
    QToolButton* const openButton;
    QToolButton* const selectButton;
    QToolButton* const addEntityButton;
    QToolButton* const addLineButton;
    // Loaded once: the save button switches between them on every change of
    // the diagram, which happens for each of thousands of items being read.
    const QIcon diskIcon;
    const QIcon diskGrayIcon;
};
