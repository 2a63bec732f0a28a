#pragma once

#include <QString>

class QJsonObject;

// A column type as the parser gives it (a TypeName node), written as the
// server's format_type() writes it, so that a script and the database it made
// show the same types: pg_catalog.int4 is "integer", pg_catalog.timestamptz
// with modifier 3 is "timestamp(3) with time zone".
class DdlTypeName
{
public:
    explicit DdlTypeName(const QJsonObject& typeName);

    QString text() const;
    // serial and its kin stand for an integer type that is never null.
    bool isSerial() const;

private:
    QString m_text;
    bool serial = false;
};
