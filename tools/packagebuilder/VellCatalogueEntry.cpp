#include "VellCatalogueEntry.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

bool fail(QString *errorText, const QString &reason)
{
    if (errorText) {
        *errorText = reason;
    }
    return false;
}

} // namespace

bool VellCatalogueEntry::write(const QString &catalogueDir, QString *errorText) const
{
    const QDir dir(catalogueDir);
    if (!dir.exists()) {
        return fail(errorText, QStringLiteral("%1: no such catalogue folder").arg(catalogueDir));
    }
    QString path;
    QJsonObject component;
    const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        QFile in(dir.filePath(file));
        if (!in.open(QIODevice::ReadOnly)) {
            return fail(errorText, QStringLiteral("%1: %2").arg(in.fileName(), in.errorString()));
        }
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(in.readAll(), &parseError);
        if (!document.isObject()) {
            // Rewriting a file we cannot read could lose another component's versions.
            return fail(errorText,
                QStringLiteral("%1: not a catalogue file: %2")
                    .arg(in.fileName(), parseError.errorString()));
        }
        const QJsonObject object = document.object();
        if (object.value(QLatin1String("project")).toString() == project
            && object.value(QLatin1String("name")).toString() == name
            && object.value(QLatin1String("type")).toString() == type) {
            path = in.fileName();
            component = object;
            break;
        }
    }
    if (path.isEmpty()) {
        QString base = QStringList {project, name, type}.join(QLatin1Char('-'));
        base.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
        path = dir.filePath(base + QLatin1String(".json"));
        component = QJsonObject {{QStringLiteral("project"), project},
            {QStringLiteral("name"), name}, {QStringLiteral("type"), type},
            {QStringLiteral("copyrights"), QString()}, {QStringLiteral("author"), QString()},
            {QStringLiteral("webpage"), QString()}, {QStringLiteral("email"), QString()}};
    }

    QJsonArray versions;
    for (const QJsonValue &entry : component.value(QLatin1String("versions")).toArray()) {
        if (entry.toObject().value(QLatin1String("version")).toString() != version) {
            versions.append(entry);
        }
    }
    versions.append(QJsonObject {{QStringLiteral("version"), version},
        {QStringLiteral("description"), description}, {QStringLiteral("changelog"), changelog},
        {QStringLiteral("link"), link}, {QStringLiteral("critical"), critical},
        {QStringLiteral("timestamp"), timestamp}});
    component.insert(QStringLiteral("versions"), versions);

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(component).toJson()) < 0
        || !out.commit()) {
        return fail(errorText, QStringLiteral("%1: %2").arg(path, out.errorString()));
    }
    return true;
}
