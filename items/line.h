#pragma once

#include "items/diagramfile.h"

#include <QGraphicsLineItem>
#include <QList>
#include <QString>

#include <cstdio>

class Connector;
class Entity;
class ItemRegistry;
class LineEditWindow;
class LineLabel;
class LineMenu;

extern const QString defaultLineName;

class Line : public QGraphicsLineItem
{
public:
    enum { Type = UserType + 3 };
    static constexpr int labelEndDistance = 20;

    Line(Connector* start, Connector* end, LineEditWindow* editWindow, LineMenu* menu, QGraphicsItem* parent);
    Line(const DiagramFile::LineRecord& record, LineEditWindow* editWindow, LineMenu* menu, QGraphicsItem* parent);
    ~Line() override;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override;

    Connector* startConnector() const;
    Connector* endConnector() const;
    void setStartConnector(Connector* connector);
    void setEndConnector(Connector* connector);
    Connector* otherConnector(const Connector* k) const;

    QString name() const;
    void setName(const QString& text);
    QString multiplicityA() const;
    void setMultiplicityA(const QString& text);
    QString multiplicityB() const;
    void setMultiplicityB(const QString& text);

    void updatePosition();
    void openEditWindow();
    // Labels too small to read are not drawn; they still take the mouse.
    void setDetailShown(bool shown);

    void writeRecord(FILE* file) const;
    void readRecord(FILE* file, const QList<Entity*>& entities);

    void setRegistry(ItemRegistry* registry);
    ItemRegistry* registry() const;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void placeLabels();
    void attach(Connector* start, Connector* end);

    LineEditWindow* const editWindow;
    LineMenu* const menu;
    ItemRegistry* itemRegistry = nullptr;
    Connector* m_startConnector;
    Connector* m_endConnector;
    LineLabel* const nameLabel;
    LineLabel* const multiplicityALabel;
    LineLabel* const multiplicityBLabel;
};
