#include "ComponentsFile.h"

#include "Util.h"

#include <QSaveFile>
#include <QString>

namespace {

std::string registryText(const ComponentsFile::ComponentMap &components)
{
    std::string text = "<components>\n";
    for (const auto &entry : components) {
        const Component &c = entry.second;
        text += "<component project='" + c.getProject() + "' name='" + c.getName() + "' type='"
            + c.getType() + "' version='" + c.getVersion() + "'>\n";
        text += "<description>" + c.getDescription() + "</description>\n";
        text += "<copyrights>" + c.getCopyrights() + "</copyrights>\n";
        text += "<author>" + c.getAuthor() + "</author>\n";
        text += "<webpage>" + c.getWebpage() + "</webpage>\n";
        text += "<email>" + c.getEmail() + "</email>\n";
        text += "</component>";
    }
    text += "</components>";
    return text;
}

} // namespace

void ComponentsFile::addComponent(const Component &component)
{
    components.emplace(
        Util::generateComponentID(component.getProject(), component.getName(), component.getType()),
        component);
}

void ComponentsFile::removeComponent(
    const std::string &project, const std::string &name, const std::string &type)
{
    components.erase(Util::generateComponentID(project, name, type));
}

std::string ComponentsFile::text() const
{
    return registryText(components);
}

bool ComponentsFile::save(const std::string &path) const
{
    std::string const text = registryText(components);
    // Write beside the old file and swap it in on success: a failed write must
    // not cost the registry that was there. Where the folder itself is not
    // writable, the file is rewritten in place as before.
    QSaveFile file(QString::fromLocal8Bit(path.data(), static_cast<int>(path.size())));
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    if (file.write(text.data(), static_cast<qint64>(text.size()))
        != static_cast<qint64>(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
