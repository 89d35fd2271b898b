#ifndef XDOPOINTER_H
#define XDOPOINTER_H

#include <QMetaType>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

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

    /// The ways a user cancels a running capture.
    enum class Cancel { Click, Escape, RightButtonWhileDragging };
    /**
     * Cancels a capture with the pointer at @p at: a click there, Escape, or
     * the right button pressed while the left one drags to @p dragTo, which
     * must close the capture before either button is released. True when
     * every step worked and @p closed() became true.
     */
    static bool cancelCapture(
        Cancel how, const QPoint &at, const QPoint &dragTo, const std::function<bool()> &closed);

private:
    static bool run(const QStringList &arguments);
};

Q_DECLARE_METATYPE(XdoPointer::Cancel)

#endif // XDOPOINTER_H
