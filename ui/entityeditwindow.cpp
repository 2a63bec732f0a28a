#include "ui/entityeditwindow.h"

#include "items/diagramchange.h"
#include "items/entity.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

const QString entityEditWindowTitle = QStringLiteral("Entity editing");

namespace {

QPushButton* makeButton(const QString& text, const char* objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(objectName));
    return button;
}

// A spin box shows the connectors of one edge with both corners, one more than
// the entity's count; its maximum keeps every count the editor can make.
QSpinBox* makeConnectorSpin(const char* objectName)
{
    auto* spin = new QSpinBox;
    spin->setObjectName(QLatin1String(objectName));
    spin->setMaximum(maxConnectorsPerSide + 1);
    return spin;
}

QHBoxLayout* labelledRow(const QString& label, QWidget* field)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(label));
    row->addWidget(field);
    return row;
}

} // namespace

EntityEditWindow::EntityEditWindow(QWidget* parent)
    : QWidget(parent)
    , nameEdit(new QLineEdit)
    , attributeList(new QListWidget)
    , addButton(makeButton(QStringLiteral("Add"), "addButton"))
    , deleteButton(makeButton(QStringLiteral("Delete"), "deleteButton"))
    , upButton(makeButton(QStringLiteral("Up"), "upButton"))
    , downButton(makeButton(QStringLiteral("Down"), "downButton"))
    , clearButton(makeButton(QStringLiteral("Clear"), "clearButton"))
    , attributeNameEdit(new QLineEdit(this))
    , horConnectorsSpin(makeConnectorSpin("horConnectorsSpin"))
    , verConnectorsSpin(makeConnectorSpin("verConnectorsSpin"))
    , applyButton(makeButton(QStringLiteral("Apply"), "applyButton"))
    , resetButton(makeButton(QStringLiteral("Reset"), "resetButton"))
    , cancelButton(makeButton(QStringLiteral("Cancel"), "cancelButton"))
{
    nameEdit->setObjectName(QStringLiteral("nameEdit"));
    attributeList->setObjectName(QStringLiteral("attributeList"));
    attributeNameEdit->setObjectName(QStringLiteral("attributeNameEdit"));
    setWindowTitle(entityEditWindowTitle);
    setWindowModality(Qt::ApplicationModal);
    attributeList->setSelectionMode(QAbstractItemView::SingleSelection);
    attributeNameEdit->setReadOnly(true);

    connect(attributeList, &QListWidget::currentItemChanged, this,
            &EntityEditWindow::selectedAttributeChangedSlot);
    connect(attributeNameEdit, &QLineEdit::textChanged, this, &EntityEditWindow::attributeNameChangedSlot);
    connect(addButton, &QPushButton::clicked, this, &EntityEditWindow::addAttributeSlot);
    connect(deleteButton, &QPushButton::clicked, this, &EntityEditWindow::deleteAttributeSlot);
    connect(upButton, &QPushButton::clicked, this, &EntityEditWindow::moveUpAttributeSlot);
    connect(downButton, &QPushButton::clicked, this, &EntityEditWindow::moveDownAttributeSlot);
    connect(clearButton, &QPushButton::clicked, this, &EntityEditWindow::clearAttributeSlot);
    connect(applyButton, &QPushButton::clicked, this, &EntityEditWindow::applySlot);
    connect(resetButton, &QPushButton::clicked, this, &EntityEditWindow::resetSlot);
    connect(cancelButton, &QPushButton::clicked, this, &EntityEditWindow::cancelSlot);

    buildLayout();
}

void EntityEditWindow::buildLayout()
{
    auto* listButtons = new QVBoxLayout;
    for (QPushButton* button : {addButton, deleteButton, upButton, downButton, clearButton})
        listButtons->addWidget(button);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(attributeList);
    listRow->addLayout(listButtons);
    auto* buttonRow = new QHBoxLayout;
    for (QPushButton* button : {applyButton, resetButton, cancelButton})
        buttonRow->addWidget(button);

    auto* layout = new QVBoxLayout;
    layout->addLayout(labelledRow(QStringLiteral("Name:"), nameEdit));
    layout->addLayout(listRow);
    layout->addLayout(labelledRow(QStringLiteral("Attribute name:"), attributeNameEdit));
    layout->addLayout(labelledRow(QStringLiteral("Ver. connectors:"), verConnectorsSpin));
    layout->addLayout(labelledRow(QStringLiteral("Hor. connectors:"), horConnectorsSpin));
    layout->addLayout(buttonRow);
    setLayout(layout);
}

void EntityEditWindow::editEntity(Entity* entity)
{
    this->entity = entity;
    loadEntity(entity);
    show();
}

// Minimums come before values, so a value is never clamped by the minimum of
// the entity edited before.
void EntityEditWindow::loadEntity(Entity* entity)
{
    nameEdit->setText(entity->name());
    attributeList->clear();
    for (int i = 0; i < entity->attributeCount(); ++i)
        attributeList->addItem(entity->attributeName(i));
    horConnectorsSpin->setMinimum(std::max(entity->busyHorConnectorCount() + 1, 2));
    verConnectorsSpin->setMinimum(std::max(entity->busyVerConnectorCount() + 1, 2));
    horConnectorsSpin->setValue(entity->horConnectorCount() + 1);
    verConnectorsSpin->setValue(entity->verConnectorCount() + 1);
}

void EntityEditWindow::storeEntity(Entity* entity)
{
    entity->setName(nameEdit->text());
    entity->clearAttributes();
    for (int row = 0; row < attributeList->count(); ++row)
        entity->addAttribute(attributeList->item(row)->text());
    const int hor = horConnectorsSpin->value() - 1;
    const int ver = verConnectorsSpin->value() - 1;
    if (entity->allowsConnectorCounts(hor, ver)) {
        entity->setHorConnectorCount(hor);
        entity->setVerConnectorCount(ver);
    }
    entity->updateLayout();
}

void EntityEditWindow::applySlot()
{
    {
        const DiagramChange change(entity->registry(), {entity}, QStringLiteral("Edit entity"));
        storeEntity(entity);
    }
    close();
}

void EntityEditWindow::resetSlot()
{
    loadEntity(entity);
}

void EntityEditWindow::cancelSlot()
{
    close();
}

void EntityEditWindow::addAttributeSlot()
{
    attributeList->addItem(defaultEntityName);
}

void EntityEditWindow::deleteAttributeSlot()
{
    if (QListWidgetItem* current = attributeList->currentItem())
        delete current;
}

void EntityEditWindow::moveUpAttributeSlot()
{
    const int row = attributeList->currentRow();
    if (!attributeList->currentItem() || row == 0)
        return;
    attributeList->insertItem(row - 1, attributeList->currentItem()->text());
    delete attributeList->item(row + 1);
    attributeList->setCurrentRow(row - 1);
}

void EntityEditWindow::moveDownAttributeSlot()
{
    const int row = attributeList->currentRow();
    if (!attributeList->currentItem() || row >= attributeList->count() - 1)
        return;
    attributeList->insertItem(row + 2, attributeList->currentItem()->text());
    delete attributeList->item(row);
    attributeList->setCurrentRow(row + 1);
}

void EntityEditWindow::clearAttributeSlot()
{
    attributeList->clear();
    attributeNameEdit->setReadOnly(true);
}

void EntityEditWindow::selectedAttributeChangedSlot(QListWidgetItem* current, QListWidgetItem*)
{
    if (!current)
        return;
    attributeNameEdit->setText(current->text());
    attributeNameEdit->setReadOnly(false);
}

void EntityEditWindow::attributeNameChangedSlot(QString string)
{
    if (QListWidgetItem* current = attributeList->currentItem())
        current->setText(string);
}
