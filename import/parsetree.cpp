#include "import/parsetree.h"

#include <QJsonArray>
#include <QJsonValue>

QJsonObject ParseTree::member(const QJsonObject& object, const char* key)
{
    return object.value(QLatin1String(key)).toObject();
}

QString ParseTree::text(const QJsonObject& object, const char* key)
{
    return object.value(QLatin1String(key)).toString();
}

QStringList ParseTree::names(const QJsonValue& list)
{
    QStringList found;
    for (const QJsonValue& item : list.toArray())
        found.append(text(member(item.toObject(), "String"), "sval"));
    return found;
}
