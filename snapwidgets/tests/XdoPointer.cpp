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

bool XdoPointer::run(const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    const bool ok = xdotool.waitForFinished(xdotoolTimeoutMs)
        && xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
    QTest::qWait(settleMs);
    return ok;
}
