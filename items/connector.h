#pragma once

#include <QGraphicsRectItem>

class Application;
class Entity;
class Line;

class Connector : public QGraphicsRectItem
{
public:
    enum { Type = UserType + 1 };

    Connector(Application* application, Entity* entity, int index, int side, QGraphicsItem* parent);
    ~Connector() override;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override;

    Line* line() const;
    void setLine(Line* line);
    void clearLine();
    bool isFree() const;
    Entity* entity() const;
    int index() const;
    void setIndex(int index);
    int side() const;
    QPointF centre() const;

private:
    Application* const application;
    Line* m_line = nullptr;
    Entity* const m_entity;
    int m_index;
    const int m_side;
};
