#ifndef VELLUPDATEQUERYCOMMAND_H
#define VELLUPDATEQUERYCOMMAND_H

#include <string>

/**
 * What the client prints when started with "-updatequery": the update query
 * built from the installed components registry, between a line that
 * introduces it and a line that closes it.
 *
 * The registry is the file "components.xml" beside the client executable,
 * in the exact format ComponentsFile::save() writes.
 */
class VellUpdateQueryCommand
{
public:
    static constexpr const char *registryFileName = "components.xml";

    explicit VellUpdateQueryCommand(const std::string &registryPath);

    /// Reads the registry and composes the output. False with the reason in
    /// @p errorText when the registry cannot be read.
    bool run(std::string &output, std::string &errorText) const;

private:
    std::string registryPath;
};

#endif // VELLUPDATEQUERYCOMMAND_H
