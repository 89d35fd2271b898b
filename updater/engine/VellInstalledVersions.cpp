#include "VellInstalledVersions.h"

#include "Component.h"

#include <QXmlStreamReader>

namespace {

QByteArray keyOf(const QByteArray &project, const QByteArray &name, const QByteArray &type)
{
    return project + '\0' + name + '\0' + type;
}

} // namespace

VellInstalledVersions VellInstalledVersions::fromQuery(const QByteArray &query)
{
    VellInstalledVersions installed;
    QXmlStreamReader xml(query);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement
            || xml.name() != QLatin1String("component")) {
            continue;
        }
        const QXmlStreamAttributes attributes = xml.attributes();
        auto field = [&](const char *attribute) {
            return attributes.value(QLatin1String(attribute)).toString().toUtf8();
        };
        installed.versions.insert(
            keyOf(field("project"), field("name"), field("type")), field("version"));
    }
    if (xml.hasError()) {
        return VellInstalledVersions();
    }
    return installed;
}

QByteArray VellInstalledVersions::versionOf(const Component &component) const
{
    return versions.value(keyOf(QByteArray::fromStdString(component.getProject()),
        QByteArray::fromStdString(component.getName()),
        QByteArray::fromStdString(component.getType())));
}
