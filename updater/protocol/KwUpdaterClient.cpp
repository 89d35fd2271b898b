#include "KwUpdaterClient.h"

#include "ComponentsFile.h"
#include "Util.h"

namespace {

// Attribute values are written between apostrophes; escaping every markup
// character keeps the query well-formed whatever a component is called.
std::string escaped(const std::string &value)
{
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '\'':
            out += "&apos;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void appendAttribute(std::string &out, const char *attribute, const std::string &value)
{
    out += attribute;
    out += "='";
    out += escaped(value);
    out += "' ";
}

} // namespace

KwUpdaterClient::~KwUpdaterClient() = default;

void KwUpdaterClient::addRequest(const std::string &project, const std::string &name,
    const std::string &type, const std::string &version)
{
    std::string const id = Util::generateComponentID(project, name, type);
    if (requests.find(id) == requests.end()) {
        requests.emplace(id, std::make_unique<Request>(project, name, type, version));
    }
}

void KwUpdaterClient::addRequest(const ComponentsFile &components)
{
    for (const auto &entry : components.getComponents()) {
        const Component &component = entry.second;
        addRequest(component.getProject(), component.getName(), component.getType(),
            component.getVersion());
    }
}

std::string KwUpdaterClient::getQuery() const
{
    std::string query = "<s><update>";
    for (const auto &entry : requests) {
        const Request &request = *entry.second;
        query += "<component ";
        if (!request.getProject().empty()) {
            appendAttribute(query, "project", request.getProject());
        }
        if (!request.getName().empty()) {
            appendAttribute(query, "name", request.getName());
        }
        if (!request.getType().empty()) {
            appendAttribute(query, "type", request.getType());
        }
        appendAttribute(query, "version", request.getVersion());
        query += "/>";
    }
    query += "</update></s>";
    return query;
}
