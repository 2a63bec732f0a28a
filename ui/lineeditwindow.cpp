#include "ui/lineeditwindow.h"

#include "items/diagramchange.h"
#include "items/line.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

const QString lineEditWindowTitle = QStringLiteral("Line editing");

namespace {

template<typename Widget>
Widget* named(Widget* widget, const char* objectName)
{
    widget->setObjectName(QLatin1String(objectName));
    return widget;
}

QVBoxLayout* labelAbove(const QString& label, QWidget* field)
{
    auto* column = new QVBoxLayout;
    column->addWidget(new QLabel(label));
    column->addWidget(field);
    return column;
}

} // namespace

LineEditWindow::LineEditWindow(QWidget* parent)
    : QWidget(parent)
    , nameEdit(named(new QLineEdit, "nameEdit"))
    , multiplicityAEdit(named(new QLineEdit, "multiplicityAEdit"))
    , multiplicityBEdit(named(new QLineEdit, "multiplicityBEdit"))
    , applyButton(named(new QPushButton(QStringLiteral("Apply")), "applyButton"))
    , resetButton(named(new QPushButton(QStringLiteral("Reset")), "resetButton"))
    , cancelButton(named(new QPushButton(QStringLiteral("Cancel")), "cancelButton"))
{
    setWindowTitle(lineEditWindowTitle);
    setWindowModality(Qt::ApplicationModal);
    connect(applyButton, &QPushButton::clicked, this, &LineEditWindow::applySlot);
    connect(resetButton, &QPushButton::clicked, this, &LineEditWindow::resetSlot);
    connect(cancelButton, &QPushButton::clicked, this, &LineEditWindow::cancelSlot);
    buildLayout();
}

void LineEditWindow::buildLayout()
{
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("Name:")));
    nameRow->addWidget(nameEdit);
    auto* multiplicityRow = new QHBoxLayout;
    multiplicityRow->addLayout(labelAbove(QStringLiteral("Multiplicity A:"), multiplicityAEdit));
    multiplicityRow->addLayout(labelAbove(QStringLiteral("Multiplicity B:"), multiplicityBEdit));
    auto* buttonRow = new QHBoxLayout;
    for (QPushButton* button : {applyButton, resetButton, cancelButton})
        buttonRow->addWidget(button);

    auto* layout = new QVBoxLayout;
    layout->addLayout(nameRow);
    layout->addLayout(multiplicityRow);
    layout->addLayout(buttonRow);
    setLayout(layout);
}

void LineEditWindow::editLine(Line* line)
{
    this->line = line;
    loadLine(line);
    show();
}

void LineEditWindow::loadLine(Line* line)
{
    nameEdit->setText(line->name());
    multiplicityAEdit->setText(line->multiplicityA());
    multiplicityBEdit->setText(line->multiplicityB());
}

void LineEditWindow::storeLine(Line* line)
{
    line->setName(nameEdit->text());
    line->setMultiplicityA(multiplicityAEdit->text());
    line->setMultiplicityB(multiplicityBEdit->text());
}

void LineEditWindow::applySlot()
{
    {
        const DiagramChange change(line->registry(), {line}, QStringLiteral("Edit line"));
        storeLine(line);
    }
    close();
}

void LineEditWindow::resetSlot()
{
    loadLine(line);
}

void LineEditWindow::cancelSlot()
{
    close();
}
