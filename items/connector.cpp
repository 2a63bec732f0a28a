#include "items/connector.h"

#include "app/application.h"
#include "items/diagrampainter.h"
#include "items/entity.h"
#include "items/itemregistry.h"
#include "items/line.h"


Connector::Connector(Application* application, Entity* entity, int index, int side, QGraphicsItem* parent)
    : QGraphicsRectItem(parent)
    , application(application)
    , m_entity(entity)
    , m_index(index)
    , m_side(side)
{
    setZValue(2.0);
    setRect(QRectF(0, 0, connectorSize, connectorSize));
}

// The line's destructor frees this connector and the one at its far end. A
// pending line never registers with its start, so the diagram is told directly:
// an entity can lose that connector while a line is being drawn from it (a
// double click in add-line mode opens the edit window, which may shrink a side).
Connector::~Connector()
{
    delete m_line;
    if (ItemRegistry* registry = m_entity->registry())
        registry->connectorRemoved(this);
}

int Connector::type() const
{
    return Type;
}

Line* Connector::line() const
{
    return m_line;
}

void Connector::setLine(Line* line)
{
    m_line = line;
    update();
}

void Connector::clearLine()
{
    m_line = nullptr;
    update();
}

bool Connector::isFree() const
{
    return m_line == nullptr;
}

Entity* Connector::entity() const
{
    return m_entity;
}

int Connector::index() const
{
    return m_index;
}

void Connector::setIndex(int index)
{
    m_index = index;
}

int Connector::side() const
{
    return m_side;
}

// Where a line end attaches: the square's centre in scene coordinates. The
// width serves for both axes because the square has equal sides.
QPointF Connector::centre() const
{
    const qreal half = rect().width() / 2;
    return QPointF(m_entity->x() + x() + half, m_entity->y() + y() + half);
}

void Connector::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    // Without an application (a picture of the diagram) connectors look as in select mode.
    DiagramPainter::paintConnector(painter, rect(), m_line, application && application->getMode() == AddLineMode);
}
