#pragma once

#include "Component.h"

#include <string>

/// One update the server offers: the new component and where to fetch it.
class Update : public Component
{
public:
    Update(std::string const &project, std::string const &name, std::string const &type,
        std::string const &version, std::string const &description, std::string const &copyrights,
        std::string const &author, std::string const &webpage, std::string const &email,
        std::string const &changelog, std::string const &link, bool critical,
        unsigned int timestamp);

    std::string const &getChangelog() const { return changelog; }
    /// Absolute HTTP URL of the package archive.
    std::string const &getLink() const { return link; }
    bool isCritical() const { return critical; }
    unsigned int getTimestamp() const { return timestamp; }

private:
    std::string changelog;
    std::string link;
    bool critical;
    unsigned int timestamp;
};
