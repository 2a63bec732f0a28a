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

    QToolButton* getSaveButton() const;
    QToolButton* getSaveAsButton() const;
    QToolButton* getOpenButton() const;
    QToolButton* getSelectButton() const;
    QToolButton* getAddEntityButton() const;
    QToolButton* getAddLineButton() const;

public slots:
    void correctToolButtonsCheckedSlot();
    void diagramChangedSlot(bool changed);

private:
    void makeModeButton(QToolButton* button, const QString& iconPath, const QString& label,
                        const QKeySequence& key);

    Application* application;
    QButtonGroup* modeButtonGroup;
    QToolButton* saveButton;
    QToolButton* saveAsButton;
    QToolButton* openButton;
    QToolButton* selectButton;
    QToolButton* addEntityButton;
    QToolButton* addLineButton;
    // Loaded once: the save button switches between them on every change of
    // the diagram, which happens for each of thousands of items being read.
    const QIcon diskIcon;
    const QIcon diskGrayIcon;
};
