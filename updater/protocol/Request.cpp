#include "Request.h"

Request::Request(std::string const &project, std::string const &name, std::string const &type,
    std::string const &version)
    : project(project)
    , name(name)
    , type(type)
    , version(version)
{ }
