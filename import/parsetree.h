#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

class QJsonValue;

// Reading the JSON parse tree that libpg_query writes: absent members read as
// empty, as the tree leaves out every member that holds its default.
class ParseTree
{
public:
    static QJsonObject member(const QJsonObject& object, const char* key);
    static QString text(const QJsonObject& object, const char* key);
    // A list of {"String": {"sval": ...}} nodes, as the parser writes names.
    static QStringList names(const QJsonValue& list);
};
