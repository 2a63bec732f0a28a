#include "items/line.h"

#include "items/connector.h"
#include "items/diagramgeometry.h"
#include "items/diagrampainter.h"
#include "items/entity.h"
#include "items/itemregistry.h"
#include "items/linelabel.h"
#include "ui/lineeditwindow.h"
#include "ui/linemenu.h"

#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>

#include <algorithm>

const QString defaultLineName = QStringLiteral("Unknown");

namespace {

QPointF truncated(const QPointF& point)
{
    return QPointF(DiagramGeometry::wholeUnits(point.x()), DiagramGeometry::wholeUnits(point.y()));
}

void centreOn(LineLabel* label, const QPointF& centre)
{
    label->setPos(DiagramGeometry::centredAt(centre, label->boundingRect().size()));
}

// The font goes on before the text, so that each label is laid out once.
LineLabel* newLabel(const QString& text, QGraphicsItem* line)
{
    auto* label = new LineLabel(QString(), line);
    label->setFont(DiagramGeometry::font(DiagramGeometry::LabelText));
    label->setPlainText(text);
    return label;
}

DiagramFile::LineRecord newLineRecord(Connector* start, Connector* end)
{
    DiagramFile::LineRecord record;
    record.name = defaultLineName;
    record.multiplicityA = QStringLiteral("1");
    record.multiplicityB = QStringLiteral("1");
    record.start = start;
    record.end = end;
    return record;
}

} // namespace

Line::Line(Connector* start, Connector* end, LineEditWindow* editWindow, LineMenu* menu, QGraphicsItem* parent)
    : Line(newLineRecord(start, end), editWindow, menu, parent)
{
}

Line::Line(const DiagramFile::LineRecord& record, LineEditWindow* editWindow, LineMenu* menu, QGraphicsItem* parent)
    : QGraphicsLineItem(parent)
    , editWindow(editWindow)
    , menu(menu)
    , m_startConnector(record.start)
    , m_endConnector(record.end)
    , nameLabel(newLabel(record.name, this))
    , multiplicityALabel(newLabel(record.multiplicityA, this))
    , multiplicityBLabel(newLabel(record.multiplicityB, this))
{
    setPen(DiagramGeometry::linePen());
    setZValue(0);
    if (record.end || !record.start)
        setFlag(ItemIsSelectable);
    if (!record.start)
        return;
    if (record.end) {
        attach(record.start, record.end);
    } else {
        const QPointF from = truncated(record.start->centre());
        setLine(QLineF(from, from));
    }
    updatePosition();
}

// A pending line never registered itself, so it frees no connector.
Line::~Line()
{
    if (itemRegistry)
        itemRegistry->forget(this);
    if (!m_endConnector)
        return;
    m_startConnector->clearLine();
    m_endConnector->clearLine();
}

int Line::type() const
{
    return Type;
}

Connector* Line::startConnector() const
{
    return m_startConnector;
}

Connector* Line::endConnector() const
{
    return m_endConnector;
}

void Line::setStartConnector(Connector* connector)
{
    m_startConnector = connector;
}

void Line::setEndConnector(Connector* connector)
{
    m_endConnector = connector;
}

Connector* Line::otherConnector(const Connector* k) const
{
    if (k == m_startConnector)
        return m_endConnector;
    if (k == m_endConnector)
        return m_startConnector;
    return nullptr;
}

QString Line::name() const
{
    return nameLabel->toPlainText();
}

void Line::setName(const QString& text)
{
    nameLabel->setPlainText(text);
}

QString Line::multiplicityA() const
{
    return multiplicityALabel->toPlainText();
}

void Line::setMultiplicityA(const QString& text)
{
    multiplicityALabel->setPlainText(text);
}

QString Line::multiplicityB() const
{
    return multiplicityBLabel->toPlainText();
}

void Line::setMultiplicityB(const QString& text)
{
    multiplicityBLabel->setPlainText(text);
}

void Line::updatePosition()
{
    if (m_endConnector)
        setLine(QLineF(truncated(m_startConnector->centre()), truncated(m_endConnector->centre())));
    placeLabels();
}

void Line::placeLabels()
{
    const DiagramGeometry::LabelCentres centres = DiagramGeometry::labelCentres(line(), DiagramGeometry::lineBounds(line()));
    centreOn(nameLabel, centres.name);
    centreOn(multiplicityALabel, centres.multiplicityA);
    centreOn(multiplicityBLabel, centres.multiplicityB);
}

void Line::openEditWindow()
{
    editWindow->editLine(this);
}

void Line::writeRecord(FILE* file) const
{
    if (!m_endConnector)
        return;
    DiagramFile::writeString(file, name());
    DiagramFile::writeString(file, multiplicityA());
    DiagramFile::writeString(file, multiplicityB());
    for (const Connector* connector : {m_startConnector, m_endConnector}) {
        DiagramFile::writeInt(file, connector->entity()->fileIndex());
        DiagramFile::writeInt(file, connector->side());
        DiagramFile::writeInt(file, connector->index());
    }
}

void Line::readRecord(FILE* file, const QList<Entity*>& entities)
{
    DiagramFile::LineRecord record = DiagramFile::readLineRecord(file);
    DiagramFile::resolve(record, entities);
    setName(record.name);
    setMultiplicityA(record.multiplicityA);
    setMultiplicityB(record.multiplicityB);
    attach(record.start, record.end);
    updatePosition();
}

void Line::attach(Connector* start, Connector* end)
{
    setStartConnector(start);
    start->setLine(this);
    setEndConnector(end);
    end->setLine(this);
}

void Line::setRegistry(ItemRegistry* registry)
{
    itemRegistry = registry;
}

ItemRegistry* Line::registry() const
{
    return itemRegistry;
}

void Line::setDetailShown(bool shown)
{
    for (LineLabel* label : {nameLabel, multiplicityALabel, multiplicityBLabel})
        DiagramPainter::setDrawn(label, shown);
}

void Line::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    DiagramPainter::paintLine(painter, line(), isSelected());
}

void Line::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (!m_endConnector) {
        event->ignore();
        return;
    }
    if (event->button() != Qt::RightButton) {
        QGraphicsLineItem::mousePressEvent(event);
        return;
    }
    scene()->clearSelection();
    setSelected(true);
    // The menu may delete this line: nothing may touch it afterwards.
    menu->execFor(this, event->screenPos());
}

// As for an entity, a right double click must not open the menu twice.
void Line::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    if (!m_endConnector) {
        event->ignore();
        return;
    }
    if (event->button() == Qt::RightButton)
        return;
    QGraphicsLineItem::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        openEditWindow();
}
