#include "import/ddltypename.h"

#include "import/parsetree.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>

namespace {

// The grammar turns SQL's type names into these internal ones; a script may
// also name some of them itself (int4, timestamptz).
const QHash<QString, QString>& sqlNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("int2"), QStringLiteral("smallint")},
        {QStringLiteral("int4"), QStringLiteral("integer")},
        {QStringLiteral("int8"), QStringLiteral("bigint")},
        {QStringLiteral("float4"), QStringLiteral("real")},
        {QStringLiteral("float8"), QStringLiteral("double precision")},
        {QStringLiteral("bool"), QStringLiteral("boolean")},
        {QStringLiteral("bpchar"), QStringLiteral("character")},
        {QStringLiteral("varchar"), QStringLiteral("character varying")},
        {QStringLiteral("varbit"), QStringLiteral("bit varying")},
        {QStringLiteral("timestamp"), QStringLiteral("timestamp without time zone")},
        {QStringLiteral("timestamptz"), QStringLiteral("timestamp with time zone")},
        {QStringLiteral("time"), QStringLiteral("time without time zone")},
        {QStringLiteral("timetz"), QStringLiteral("time with time zone")},
        {QStringLiteral("smallserial"), QStringLiteral("smallint")},
        {QStringLiteral("serial2"), QStringLiteral("smallint")},
        {QStringLiteral("serial"), QStringLiteral("integer")},
        {QStringLiteral("serial4"), QStringLiteral("integer")},
        {QStringLiteral("bigserial"), QStringLiteral("bigint")},
        {QStringLiteral("serial8"), QStringLiteral("bigint")},
    };
    return names;
}

QString constantText(const QJsonObject& constant)
{
    for (const char* kind : {"sval", "fval"}) {
        if (constant.contains(QLatin1String(kind)))
            return ParseTree::text(ParseTree::member(constant, kind), kind);
    }
    // An integer 0 is written as an empty ival.
    return QString::number(ParseTree::member(constant, "ival").value(QLatin1String("ival")).toInteger());
}

// "(10,2)"; nothing where a modifier is not a constant.
QString modifierOf(const QJsonArray& modifiers)
{
    QStringList values;
    for (const QJsonValue& modifier : modifiers) {
        const QJsonObject node = modifier.toObject();
        if (!node.contains(QLatin1String("A_Const")))
            return QString();
        values.append(constantText(ParseTree::member(node, "A_Const")));
    }
    return values.isEmpty() ? QString() : QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')');
}

} // namespace

DdlTypeName::DdlTypeName(const QJsonObject& typeName)
{
    QStringList names = ParseTree::names(typeName.value(QLatin1String("names")));
    if (names.size() == 2 && names.first() == QLatin1String("pg_catalog"))
        names.removeFirst();
    else if (names.size() == 1 && sqlNames().contains(names.first()))
        serial = names.first().contains(QLatin1String("serial"));
    m_text = names.size() == 1 ? sqlNames().value(names.first(), names.first()) : names.join(QLatin1Char('.'));
    // An interval's modifiers are its fields, which the name does not show.
    const QString modifier
        = m_text == QLatin1String("interval") ? QString() : modifierOf(typeName.value(QLatin1String("typmods")).toArray());
    if (m_text.startsWith(QLatin1String("time")) && m_text.contains(QLatin1Char(' ')))
        m_text.insert(m_text.indexOf(QLatin1Char(' ')), modifier);
    else
        m_text += modifier;
    if (!typeName.value(QLatin1String("arrayBounds")).toArray().isEmpty())
        m_text += QStringLiteral("[]");
}

QString DdlTypeName::text() const
{
    return m_text;
}

bool DdlTypeName::isSerial() const
{
    return serial;
}
