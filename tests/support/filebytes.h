#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>

// The bytes of diagram files, built by hand so that a test states exactly
// what a file holds, damaged files included.
QByteArray int32(int value);
QByteArray fileString(const QByteArray& text);
QByteArray entityRecord(const QByteArray& name, int hor = 2, int ver = 2, const QByteArray& attribute = {},
                        QPoint at = QPoint(100, 50));
// A line "r" with multiplicities "1" and "*" between two connectors.
QByteArray lineRecord(int entityA, int sideA, int indexA, int entityB, int sideB, int indexB);
QByteArray diagram(const QList<QByteArray>& entities, const QList<QByteArray>& lines);
