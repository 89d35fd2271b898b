#include "VellPackageDescriptor.h"

#include "Component.h"
#include "VellText.h"

#include <QBuffer>
#include <QByteArray>
#include <QXmlStreamReader>

namespace {

bool namesAnotherComponent(const QXmlStreamAttribute &attribute, const Component &component)
{
    const std::string value = attribute.value().toString().toUtf8().toStdString();
    return (attribute.name() == QLatin1String("project") && value != component.getProject())
        || (attribute.name() == QLatin1String("name") && value != component.getName())
        || (attribute.name() == QLatin1String("type") && value != component.getType());
}

} // namespace

VellPackageDescriptor VellPackageDescriptor::read(QIODevice &device, const Component &component)
{
    VellPackageDescriptor descriptor;
    QXmlStreamReader xml(&device);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            // A descriptor has no use for one, and its entities would let every
            // few bytes expand into dozens of instructions: stop before any
            // entity is used.
            xml.raiseError(VellText::tr("the descriptor holds a document type declaration",
                "error while installing a package"));
            break;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == QLatin1String("package")) {
            for (const QXmlStreamAttribute &attribute : attributes) {
                if (namesAnotherComponent(attribute, component)) {
                    descriptor.ending = End::ForeignPackage;
                    return descriptor;
                }
            }
        } else if (xml.name() == QLatin1String("file")) {
            descriptor.instructions.append({attributes.value(QLatin1String("name")).toString(),
                attributes.value(QLatin1String("path")).toString(),
                attributes.value(QLatin1String("action")).toString().toLower()});
        }
    }
    if (xml.hasError()) {
        descriptor.ending = End::Malformed;
        descriptor.faultLine = xml.lineNumber();
        descriptor.fault = xml.errorString();
    }
    return descriptor;
}

VellPackageDescriptor VellPackageDescriptor::parse(
    const QByteArray &bytes, const Component &component)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, component);
}
