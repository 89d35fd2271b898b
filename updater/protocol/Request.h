#pragma once

#include <string>

/// One installed component named in an update query.
class Request
{
public:
    Request(std::string const &project, std::string const &name, std::string const &type,
        std::string const &version);

    std::string const &getProject() const { return project; }
    std::string const &getName() const { return name; }
    std::string const &getType() const { return type; }
    std::string const &getVersion() const { return version; }

private:
    std::string project;
    std::string name;
    std::string type;
    std::string version;
};
