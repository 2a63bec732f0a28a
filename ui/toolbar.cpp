#include "ui/toolbar.h"

#include "app/application.h"

#include <QButtonGroup>
#include <QIcon>
#include <QToolButton>

namespace {

const QString diskIconPath = QStringLiteral(":/images/disk.png");
const QString diskGrayIconPath = QStringLiteral(":/images/diskgray.png");
const QString saveAsIconPath = QStringLiteral(":/images/save_as.png");
const QString folderIconPath = QStringLiteral(":/images/folder.png");
const QString selectIconPath = QStringLiteral(":/images/selectButton.png");
const QString entityIconPath = QStringLiteral(":/images/entityButton.png");
const QString lineIconPath = QStringLiteral(":/images/lineButton.png");

} // namespace

ToolBar::ToolBar(Application* application, QWidget* parent)
    : QToolBar(QStringLiteral("Davevoz"), parent)
    , application(application)
    , modeButtonGroup(new QButtonGroup(this))
    , saveButton(new QToolButton)
    , saveAsButton(new QToolButton)
    , openButton(new QToolButton)
    , selectButton(new QToolButton)
    , addEntityButton(new QToolButton)
    , addLineButton(new QToolButton)
    , diskIcon(diskIconPath)
    , diskGrayIcon(diskGrayIconPath)
{
    saveButton->setIcon(diskIcon);
    saveAsButton->setIcon(QIcon(saveAsIconPath));
    openButton->setIcon(QIcon(folderIconPath));
    makeModeButton(selectButton, selectIconPath, QStringLiteral("Select"), selectModeKey);
    makeModeButton(addEntityButton, entityIconPath, QStringLiteral("Add entity"), addEntityModeKey);
    makeModeButton(addLineButton, lineIconPath, QStringLiteral("Add line"), addLineModeKey);
    selectButton->setChecked(true);
    modeButtonGroup->addButton(selectButton);
    modeButtonGroup->addButton(addEntityButton);
    modeButtonGroup->addButton(addLineButton);

    connect(saveButton, &QToolButton::clicked, application, &Application::saveSlot);
    connect(saveAsButton, &QToolButton::clicked, application, &Application::saveAsSlot);
    connect(openButton, &QToolButton::clicked, application, &Application::openSlot);
    connect(selectButton, &QToolButton::clicked, application, &Application::setSelectModeSlot);
    connect(addEntityButton, &QToolButton::clicked, application, &Application::setAddEntityModeSlot);
    connect(addLineButton, &QToolButton::clicked, application, &Application::setAddLineModeSlot);
    connect(application, &Application::changedMode, this, &ToolBar::correctToolButtonsCheckedSlot);
    connect(application, &Application::changedSignal, this, &ToolBar::diagramChangedSlot);

    addWidget(saveButton);
    addWidget(saveAsButton);
    addWidget(openButton);
    addSeparator();
    addWidget(selectButton);
    addWidget(addEntityButton);
    addWidget(addLineButton);
    addSeparator();
}

void ToolBar::makeModeButton(QToolButton* button, const QString& iconPath, const QString& label,
                             const QKeySequence& key)
{
    button->setIcon(QIcon(iconPath));
    button->setCheckable(true);
    button->setToolTip(label + " (" + key.toString() + ")");
}

void ToolBar::correctToolButtonsCheckedSlot()
{
    switch (application->getMode()) {
    case SelectMode:
        selectButton->setChecked(true);
        break;
    case AddEntityMode:
        addEntityButton->setChecked(true);
        break;
    case AddLineMode:
        addLineButton->setChecked(true);
        break;
    }
}

void ToolBar::diagramChangedSlot(bool changed)
{
    saveButton->setEnabled(changed);
    saveButton->setIcon(changed ? diskIcon : diskGrayIcon);
}
