#pragma once

#include "items/diagramfile.h"

#include <QColor>
#include <QGraphicsRectItem>
#include <QList>
#include <QString>

#include <cstdio>

class Application;
class Connector;
class EntityEditWindow;
class EntityMenu;
class ItemRegistry;
class QGraphicsTextItem;

constexpr int connectorSpacing = 40;
constexpr int connectorSize = 8;
// The most connectors a side may carry; the reader refuses more and the
// editor never makes more, so the editor never writes a file it would refuse.
constexpr int maxConnectorsPerSide = 1000;
// The most connectors a whole diagram may hold, however small its file: a
// 24-byte entity record can ask for 4,000 of them, and each one measured
// 3.5 KB and 31 us to build, so the bound keeps a diagram's connectors within
// about 350 MB and 3 s. The 10,000-entity diagram of the benchmarks holds 80,000.
constexpr int maxConnectorsPerDiagram = 100000;

extern const QString defaultEntityName;

class Entity : public QGraphicsRectItem
{
public:
    enum { Type = UserType + 2 };
    enum Side { TopSide = 0, RightSide = 1, BottomSide = 2, LeftSide = 3 };
    static constexpr int sideCount = 4;

    Entity(Application* application, int x, int y, EntityEditWindow* editWindow, EntityMenu* menu,
           QGraphicsItem* parent = nullptr);
    Entity(Application* application, const DiagramFile::EntityRecord& record, EntityEditWindow* editWindow,
           EntityMenu* menu, QGraphicsItem* parent = nullptr);
    ~Entity() override;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override;

    QString name() const;
    void setName(const QString& text);
    int attributeCount() const;
    QString attributeName(int id) const;
    void addAttribute(const QString& text);
    void clearAttributes();

    int horConnectorCount() const;
    int verConnectorCount() const;
    void setHorConnectorCount(int n);
    void setVerConnectorCount(int n);
    int busyHorConnectorCount() const;
    int busyVerConnectorCount() const;
    Connector* connectorAt(int side, int position) const;
    int connectorCount(int side) const;
    int totalConnectorCount() const;
    static int connectorsFor(int hor, int ver);
    bool isConnectedTo(const Entity* other) const;
    bool allowsConnectorCounts(int hor, int ver) const;
    void updateLayout();
    void updateLinePositions();
    // Too small to read, the texts are drawn as bars by the entity itself,
    // and the connectors not at all; all of them still take the mouse.
    void setDetailShown(bool shown);
    // Moves a group of entities into the canvas as a whole, keeping its shape;
    // the start wins where the group is larger than the canvas.
    static void keepInsideScene(const QList<Entity*>& group);

    void setFileIndex(int index);
    int fileIndex() const;
    void writeRecord(FILE* file) const;
    void readRecord(FILE* file);

    void openEditWindow();

    void setRegistry(ItemRegistry* registry);
    ItemRegistry* registry() const;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void resizeSide(int side, int n);
    int busyCount(int side) const;
    QRectF sceneBoxRect() const;
    static QList<Entity*> movedWith(Entity* grabbed);

    Application* const application;
    EntityEditWindow* const editWindow;
    EntityMenu* const menu;
    ItemRegistry* itemRegistry = nullptr;
    QGraphicsTextItem* const nameItem;
    QList<QGraphicsTextItem*> attribute;
    QList<Connector*> connectors[sideCount];
    const QColor brushColor;
    const QColor penColor;
    int m_horConnectorCount;
    int m_verConnectorCount;
    int m_fileIndex = 0;
    // The undo step of a drag of this entity, open from its first move to the release.
    int dragChange = 0;
    bool detailShown = true;
};
