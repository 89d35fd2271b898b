#include "Update.h"

Update::Update(std::string const &project, std::string const &name, std::string const &type,
    std::string const &version, std::string const &description, std::string const &copyrights,
    std::string const &author, std::string const &webpage, std::string const &email,
    std::string const &changelog, std::string const &link, bool critical, unsigned int timestamp)
    : Component(project, name, type, version, description, copyrights, author, webpage, email)
    , changelog(changelog)
    , link(link)
    , critical(critical)
    , timestamp(timestamp)
{ }
