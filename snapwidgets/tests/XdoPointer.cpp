#include "XdoPointer.h"

#include <QProcess>
#include <QTest>

namespace {
constexpr int settleMs = 120;
constexpr int xdotoolTimeoutMs = 10000;
} // namespace

bool XdoPointer::moveTo(const QPoint &position)
{
    return run({QStringLiteral("mousemove"), QString::number(position.x()),
        QString::number(position.y())});
}

bool XdoPointer::press(int button)
{
    return run({QStringLiteral("mousedown"), QString::number(button)});
}

bool XdoPointer::release(int button)
{
    return run({QStringLiteral("mouseup"), QString::number(button)});
}

bool XdoPointer::key(const QString &keySymbol)
{
    return run({QStringLiteral("key"), keySymbol});
}

bool XdoPointer::cancelCapture(
    Cancel how, const QPoint &at, const QPoint &dragTo, const std::function<bool()> &closed)
{
    if (!moveTo(at)) {
        return false;
    }
    switch (how) {
    case Cancel::Click:
        return press(1) && release(1) && QTest::qWaitFor(closed);
    case Cancel::Escape:
        return key(QStringLiteral("Escape")) && QTest::qWaitFor(closed);
    case Cancel::RightButtonWhileDragging: {
        const bool closedAtOnce = press(1) && moveTo(dragTo) && press(3) && QTest::qWaitFor(closed);
        const bool released = release(3) && release(1);
        return closedAtOnce && released && closed();
    }
    }
    return false;
}

bool XdoPointer::run(const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    const bool ok = xdotool.waitForFinished(xdotoolTimeoutMs)
        && xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
    QTest::qWait(settleMs);
    return ok;
}
