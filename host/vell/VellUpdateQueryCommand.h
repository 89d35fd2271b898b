#ifndef VELLUPDATEQUERYCOMMAND_H
#define VELLUPDATEQUERYCOMMAND_H

#include <string>
#include <vector>

class ComponentsFile;

/**
 * What the client prints when started with "-updatequery": the update query
 * built from the installed components registry, between a line that
 * introduces it and a line that closes it.
 *
 * The registry is the file "components.xml" beside the client executable,
 * in the exact format ComponentsFile::save() writes. Update packages do not
 * rewrite it: each carries a one-component fragment in the same format
 * ("components.d/<identifier>.xml") that lands in the folder the package
 * installs into, so a rollback of the package takes its fragment back too.
 * The fragments of each folder, in name order, replace the registry's entry
 * of their component; a later folder wins over an earlier one.
 */
class VellUpdateQueryCommand
{
public:
    static constexpr const char *registryFileName = "components.xml";
    static constexpr const char *fragmentFolderName = "components.d";

    VellUpdateQueryCommand(
        const std::string &registryPath, const std::vector<std::string> &fragmentFolders = {});

    /// Reads the registry and its fragments and composes the output. False
    /// with the reason in @p errorText when the registry cannot be read. A
    /// fragment that cannot be read, or does not hold exactly one component,
    /// is left out, with a line about it in @p warnings.
    bool run(std::string &output, std::string &errorText, std::string &warnings) const;

private:
    void applyFragments(
        const std::string &folder, ComponentsFile &registry, std::string &warnings) const;

    std::string registryPath;
    std::vector<std::string> fragmentFolders;
};

#endif // VELLUPDATEQUERYCOMMAND_H
