#pragma once

#include <QWidget>

class Entity;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;

extern const QString entityEditWindowTitle;

class EntityEditWindow : public QWidget
{
    Q_OBJECT

public:
    explicit EntityEditWindow(QWidget* parent);

    void editEntity(Entity* entity);
    void loadEntity(Entity* entity);
    void storeEntity(Entity* entity);

public slots:
    void applySlot();
    void resetSlot();
    void cancelSlot();
    void addAttributeSlot();
    void deleteAttributeSlot();
    void moveUpAttributeSlot();
    void moveDownAttributeSlot();
    void clearAttributeSlot();
    void selectedAttributeChangedSlot(QListWidgetItem* current, QListWidgetItem*);
    void attributeNameChangedSlot(QString string);

private:
    void buildLayout();

    Entity* entity = nullptr;
    QLineEdit* const nameEdit;
    QListWidget* const attributeList;
    QPushButton* const addButton;
    QPushButton* const deleteButton;
    QPushButton* const upButton;
    QPushButton* const downButton;
    QPushButton* const clearButton;
    QLineEdit* const attributeNameEdit;
    QSpinBox* const horConnectorsSpin;
    QSpinBox* const verConnectorsSpin;
    QPushButton* const applyButton;
    QPushButton* const resetButton;
    QPushButton* const cancelButton;
};
