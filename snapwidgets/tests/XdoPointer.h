#ifndef XDOPOINTER_H
#define XDOPOINTER_H

#include <QPoint>
#include <QString>
#include <QStringList>

// Drives the real X pointer and keyboard with xdotool, one command per call,
// then lets the application take in the resulting events: chained xdotool
// commands coalesce motion, and a lost move would make a test flaky.
// Positions are in X (device) pixels.
class XdoPointer
{
public:
    static bool moveTo(const QPoint &position);
    static bool press(int button);
    static bool release(int button);
    static bool key(const QString &keySymbol);

private:
    static bool run(const QStringList &arguments);
};

#endif // XDOPOINTER_H
