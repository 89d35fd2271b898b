#ifndef KWUPDATERCLIENT_H
#define KWUPDATERCLIENT_H

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
    KwUpdaterClient(const KwUpdaterClient &) = delete;
    KwUpdaterClient &operator=(const KwUpdaterClient &) = delete;
    ~KwUpdaterClient();

    /// Files a request under its component identifier, unless one is already
    /// filed there (the first one stays).
    void addRequest(const std::string &project, const std::string &name, const std::string &type,
        const std::string &version);
    /// Files a request for every component of @p components, in its key order.
    void addRequest(const ComponentsFile &components);

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

#endif // KWUPDATERCLIENT_H
