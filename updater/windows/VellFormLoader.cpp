#include "VellFormLoader.h"

#include "VellMessageBoxPrompt.h"
#include "VellText.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QUiLoader>

VellFormLoader::VellFormLoader(const QString &resourcePath)
    : path(resourcePath)
{
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        loadError = file.errorString();
        return;
    }
    QUiLoader loader;
    form.reset(loader.load(&file));
    file.close();
    if (!form) {
        loadError = loader.errorString();
    }
}

VellFormLoader::~VellFormLoader() = default;

bool VellFormLoader::isComplete() const
{
    return form && missing.isEmpty();
}

QString VellFormLoader::errorString() const
{
    if (!form) {
        return VellText::tr("Cannot load the form %1: %2", "broken installation")
            .arg(path, loadError);
    }
    if (!missing.isEmpty()) {
        return VellText::tr("The form %1 lacks the widgets %2.", "broken installation")
            .arg(path, missing.join(QLatin1String(", ")));
    }
    return QString();
}

QWidget *VellFormLoader::takeForm()
{
    return form.release();
}

void VellFormLoader::abandon(QObject *controller, const QString &errorText)
{
    VellMessageBoxPrompt().tellError(VellText::tr("Update", "nc"), errorText);
    controller->deleteLater();
    // Queued, so that it also ends the program when the event loop has not started yet.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
}
