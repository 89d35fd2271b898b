#include "VellUpdateQueryCommand.h"

#include "ComponentsFile.h"
#include "ComponentsFileReader.h"
#include "KwUpdaterClient.h"

#include <QDir>
#include <QFile>

VellUpdateQueryCommand::VellUpdateQueryCommand(
    const std::string &registryPath, const std::vector<std::string> &fragmentFolders)
    : registryPath(registryPath)
    , fragmentFolders(fragmentFolders)
{ }

bool VellUpdateQueryCommand::run(
    std::string &output, std::string &errorText, std::string &warnings) const
{
    ComponentsFile registry;
    std::string reason;
    if (!ComponentsFileReader::read(registryPath, registry, &reason)) {
        errorText = "cannot read the installed components registry " + registryPath + ": " + reason;
        return false;
    }
    for (const std::string &folder : fragmentFolders) {
        applyFragments(folder, registry, warnings);
    }
    KwUpdaterClient client;
    client.addRequest(registry);
    std::size_t const count = registry.getComponents().size();
    output = "Vell: update query for " + std::to_string(count) + " installed component"
        + (count == 1 ? "" : "s") + "\n" + client.getQuery() + "\nVell: end of update query\n";
    return true;
}

void VellUpdateQueryCommand::applyFragments(
    const std::string &folder, ComponentsFile &registry, std::string &warnings) const
{
    const QDir dir(QFile::decodeName(folder.c_str()));
    const QStringList names
        = dir.entryList({QStringLiteral("*.xml")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &name : names) {
        const std::string path = QFile::encodeName(dir.filePath(name)).toStdString();
        ComponentsFile fragment;
        std::string reason;
        if (!ComponentsFileReader::read(path, fragment, &reason)) {
            warnings += "vell: ignoring the registry fragment " + path + ": " + reason + "\n";
            continue;
        }
        if (fragment.getComponents().size() != 1) {
            warnings += "vell: ignoring the registry fragment " + path + ": it holds "
                + std::to_string(fragment.getComponents().size()) + " components instead of one\n";
            continue;
        }
        const Component &component = fragment.getComponents().begin()->second;
        registry.removeComponent(component.getProject(), component.getName(), component.getType());
        registry.addComponent(component);
    }
}
