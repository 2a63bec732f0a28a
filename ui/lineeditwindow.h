#pragma once

#include <QWidget>

class Line;
class QLineEdit;
class QPushButton;

extern const QString lineEditWindowTitle;

class LineEditWindow : public QWidget
{
    Q_OBJECT

public:
    explicit LineEditWindow(QWidget* parent);

    void editLine(Line* line);
    void loadLine(Line* line);
    void storeLine(Line* line);

public slots:
    void applySlot();
    void resetSlot();
    void cancelSlot();

private:
    void buildLayout();

    Line* line = nullptr;
    QLineEdit* const nameEdit;
    QLineEdit* const multiplicityAEdit;
    QLineEdit* const multiplicityBEdit;
    QPushButton* const applyButton;
    QPushButton* const resetButton;
    QPushButton* const cancelButton;
};
