#pragma once

#include <QGraphicsTextItem>

class LineLabel : public QGraphicsTextItem
{
    Q_OBJECT

public:
    LineLabel(const QString& text, QGraphicsItem* parent);

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
};
