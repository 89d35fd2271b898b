#include "Component.h"

Component::Component(std::string const &project, std::string const &name, std::string const &type,
    std::string const &version, std::string const &description, std::string const &copyrights,
    std::string const &author, std::string const &webpage, std::string const &email)
    : project(project)
    , name(name)
    , type(type)
    , version(version)
    , description(description)
    , copyrights(copyrights)
    , author(author)
    , webpage(webpage)
    , email(email)
{ }
