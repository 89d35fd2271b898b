#ifndef COMPONENTSFILE_H
#define COMPONENTSFILE_H

#include "Component.h"

#include <map>
#include <string>

/**
 * In-memory registry of installed components, keyed by component identifier
 * (Util::generateComponentID) in byte order, that can be written to a file.
 */
class ComponentsFile
{
public:
    using ComponentMap = std::map<std::string, Component>;

    ComponentsFile() = default;

    const ComponentMap &getComponents() const { return components; }

    /// Files a copy of @p component; when its identifier is already present the
    /// stored entry stays and @p component is dropped.
    void addComponent(const Component &component);
    /// Erases the entry of that project, name and type; an absent one is no error.
    void removeComponent(
        const std::string &project, const std::string &name, const std::string &type);

    /**
     * Writes the registry to @p path. The format is fixed (installed files rely
     * on it): "<components>\n", then per component its opening element with the
     * four attributes in apostrophes, one line per descriptive element and
     * "</component>" without a line feed, then "</components>" without a line
     * feed. Values are written as raw bytes, without escaping.
     *
     * The file is replaced as a whole: when writing fails, false is returned and
     * the previous file is left as it was.
     */
    bool save(const std::string &path) const;
    /// The text save() writes.
    std::string text() const;

private:
    ComponentMap components;
};

#endif // COMPONENTSFILE_H
