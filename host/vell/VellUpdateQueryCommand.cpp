#include "VellUpdateQueryCommand.h"

#include "ComponentsFile.h"
#include "ComponentsFileReader.h"
#include "KwUpdaterClient.h"

VellUpdateQueryCommand::VellUpdateQueryCommand(const std::string &registryPath)
    : registryPath(registryPath)
{ }

bool VellUpdateQueryCommand::run(std::string &output, std::string &errorText) const
{
    ComponentsFile registry;
    std::string reason;
    if (!ComponentsFileReader::read(registryPath, registry, &reason)) {
        errorText = "cannot read the installed components registry " + registryPath + ": " + reason;
        return false;
    }
    KwUpdaterClient client;
    client.addRequest(registry);
    std::size_t const count = registry.getComponents().size();
    output = "Vell: update query for " + std::to_string(count) + " installed component"
        + (count == 1 ? "" : "s") + "\n" + client.getQuery() + "\nVell: end of update query\n";
    return true;
}
