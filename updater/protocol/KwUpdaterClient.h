#pragma once

#include "Request.h"

#include <map>
#include <memory>
#include <string>

class ComponentsFile;

/**
 * Builds the update query: one "component" element per installed component,
 * in byte order of the component identifier.
 */
class KwUpdaterClient
{
public:
    KwUpdaterClient() = default;
    KwUpdaterClient(KwUpdaterClient const &) = delete;
    KwUpdaterClient &operator=(KwUpdaterClient const &) = delete;
    ~KwUpdaterClient();

    /// Files a request under its component identifier, unless one is already
    /// filed there (the first one stays).
    void addRequest(std::string const &project, std::string const &name, std::string const &type,
        std::string const &version);
    /// Files a request for every component of @p components, in its key order.
    void addRequest(ComponentsFile const &components);

    /**
     * The query document on one line, without XML declaration, for example
     * <s><update><component project='client' name='core' type='app' version='1.0' /></update></s>
     * Attribute values are escaped (&apos; &lt; &gt; &amp; &quot;), so the
     * document is well-formed whatever the values hold.
     */
    std::string getQuery() const;

private:
    std::map<std::string, std::unique_ptr<Request>> requests;
};
