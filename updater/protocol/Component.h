#pragma once

#include <string>

/**
 * One installable component of the product (the program, a plug-in, ...), as
 * the installed components registry and the update protocol know it.
 *
 * All fields are byte strings (UTF-8 where they came from XML). A component is
 * never modified: replace it to change it.
 */
class Component
{
public:
    Component(std::string const &project, std::string const &name, std::string const &type,
        std::string const &version, std::string const &description, std::string const &copyrights,
        std::string const &author, std::string const &webpage, std::string const &email);
    Component(Component const &) = default;
    Component &operator=(Component const &) = default;
    ~Component() = default;

    std::string const &getProject() const { return project; }
    std::string const &getName() const { return name; }
    /// "app" or "plugin" for the components the updater can install.
    std::string const &getType() const { return type; }
    std::string const &getVersion() const { return version; }
    std::string const &getDescription() const { return description; }
    std::string const &getCopyrights() const { return copyrights; }
    std::string const &getAuthor() const { return author; }
    std::string const &getWebpage() const { return webpage; }
    std::string const &getEmail() const { return email; }

private:
    std::string project;
    std::string name;
    std::string type;
    std::string version;
    std::string description;
    std::string copyrights;
    std::string author;
    std::string webpage;
    std::string email;
};
