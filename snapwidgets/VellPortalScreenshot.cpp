#include "VellPortalScreenshot.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>

namespace {
int deadlineMs = 10000;

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString screenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Receives the Response signal of one request object and ends the wait.
class ResponseReceiver : public QObject
{
    Q_OBJECT

public:
    explicit ResponseReceiver(QEventLoop &loop)
        : loop(loop)
    { }

    bool answered = false;
    uint code = 2;
    QVariantMap results;

public Q_SLOTS:
    void response(uint responseCode, const QVariantMap &responseResults)
    {
        answered = true;
        code = responseCode;
        results = responseResults;
        loop.quit();
    }

private:
    QEventLoop &loop;
};

// The request object the portal creates for a handle token, known before the
// call so the signal cannot be missed.
QString requestPath(const QDBusConnection &bus, const QString &token)
{
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

bool connectResponse(QDBusConnection &bus, const QString &path, ResponseReceiver *receiver)
{
    return bus.connect(portalService, path, requestInterface, QStringLiteral("Response"), receiver,
        SLOT(response(uint, QVariantMap)));
}

void disconnectResponse(QDBusConnection &bus, const QString &path, ResponseReceiver *receiver)
{
    bus.disconnect(portalService, path, requestInterface, QStringLiteral("Response"), receiver,
        SLOT(response(uint, QVariantMap)));
}

bool inPortalFolder(const QString &file)
{
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (runtime.isEmpty()) {
        return false;
    }
    const QString folder = QFileInfo(file).canonicalPath();
    const QString root = QFileInfo(runtime).canonicalFilePath();
    // A folder below the runtime directory, never the directory itself.
    return !root.isEmpty() && folder.startsWith(root + QLatin1Char('/'));
}

QImage fail(const QString &reason, QString *errorText)
{
    if (errorText) {
        *errorText = reason;
    }
    return QImage();
}
} // namespace

bool VellPortalScreenshot::isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void VellPortalScreenshot::setDeadline(int milliseconds)
{
    deadlineMs = milliseconds;
}

int VellPortalScreenshot::deadline()
{
    return deadlineMs;
}

QImage VellPortalScreenshot::take(bool interactive, QString *errorText)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return fail(QStringLiteral("no session bus to reach the screenshot portal"), errorText);
    }
    if (!bus.interface()->isServiceRegistered(portalService).value()
        && !bus.interface()->activatableServiceNames().value().contains(portalService)) {
        return fail(
            QStringLiteral("no screenshot portal (%1) on the session bus").arg(portalService),
            errorText);
    }

    QEventLoop loop;
    ResponseReceiver receiver(loop);
    const QString token = QStringLiteral("vell%1").arg(
        QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    QString path = requestPath(bus, token);
    connectResponse(bus, path, &receiver);

    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, portalPath, screenshotInterface, QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap {{QStringLiteral("handle_token"), token},
                {QStringLiteral("interactive"), interactive}, {QStringLiteral("modal"), true}};
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, deadlineMs));
    QString callError;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, [&] {
        QDBusPendingReply<QDBusObjectPath> reply = watcher;
        if (reply.isError()) {
            // A portal that takes the call and never answers it ends the
            // call at the deadline; that is no refusal.
            if (reply.error().type() != QDBusError::NoReply
                && reply.error().type() != QDBusError::Timeout) {
                callError = reply.error().message();
            }
            loop.quit();
        } else if (reply.value().path() != path) {
            // Older portals name the request object themselves.
            disconnectResponse(bus, path, &receiver);
            path = reply.value().path();
            connectResponse(bus, path, &receiver);
        }
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(deadlineMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnectResponse(bus, path, &receiver);

    if (!callError.isEmpty()) {
        return fail(
            QStringLiteral("the screenshot portal refused the call: %1").arg(callError), errorText);
    }
    if (!receiver.answered) {
        return fail(
            QStringLiteral("the screenshot portal did not answer within %1 ms").arg(deadlineMs),
            errorText);
    }
    if (receiver.code == 1) {
        return fail(QStringLiteral("the screenshot was cancelled or not permitted"), errorText);
    }
    if (receiver.code != 0) {
        return fail(QStringLiteral("the screenshot portal failed (response %1)").arg(receiver.code),
            errorText);
    }
    const QUrl uri(receiver.results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile()) {
        return fail(
            QStringLiteral("the screenshot portal gave no local file (\"%1\")").arg(uri.toString()),
            errorText);
    }
    const QString file = uri.toLocalFile();
    QImageReader reader(file);
    const QImage picture = reader.read();
    if (inPortalFolder(file)) {
        QFile::remove(file);
    }
    if (picture.isNull()) {
        return fail(
            QStringLiteral("cannot read the screenshot %1: %2").arg(file, reader.errorString()),
            errorText);
    }
    return picture;
}

#include "VellPortalScreenshot.moc"
