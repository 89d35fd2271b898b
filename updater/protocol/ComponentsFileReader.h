#ifndef COMPONENTSFILEREADER_H
#define COMPONENTSFILEREADER_H

#include "ComponentsFile.h"

#include <string>

/**
 * Reads back exactly the text that ComponentsFile::save() writes: no XML
 * declaration, attribute values in apostrophes, no escaping, "</component>"
 * directly followed by the next element, no final line feed.
 *
 * Since values are not escaped, a value that itself contains the text that
 * closes it (for instance "' name='" inside a project) cannot be told apart
 * from the delimiter; the reader takes the first delimiter that lets the rest
 * of the file parse for a component's last field, and the first one otherwise.
 */
class ComponentsFileReader
{
public:
    /// Parses @p text into @p registry (entries are added). On failure returns
    /// false, leaves @p registry unchanged and describes the fault in @p errorText.
    static bool parse(const std::string &text, ComponentsFile &registry, std::string *errorText);
    /// Reads the file at @p path and parses it; when the file cannot be read,
    /// @p errorText is the operating system's reason.
    static bool read(const std::string &path, ComponentsFile &registry, std::string *errorText);
};

#endif // COMPONENTSFILEREADER_H
