#include "KwUpdaterClient.h"

#include "ComponentsFile.h"
#include "Util.h"

namespace {

// Attribute values are written between apostrophes; escaping every markup
// character keeps the query well-formed whatever a component is called.
std::string escaped(std::string const &value)
{
    std::string out;
    out.reserve(value.size());
    for (char const c : value) {
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

void appendAttribute(std::string &out, char const *attribute, std::string const &value)
{
    out += attribute;
    out += "='";
    out += escaped(value);
    out += "' ";
}

} // namespace

KwUpdaterClient::~KwUpdaterClient() = default;

void KwUpdaterClient::addRequest(std::string const &project, std::string const &name,
    std::string const &type, std::string const &version)
{
    std::string const id = Util::generateComponentID(project, name, type);
    if (requests.find(id) == requests.end()) {
        requests.emplace(id, std::make_unique<Request>(project, name, type, version));
    }
}

void KwUpdaterClient::addRequest(ComponentsFile const &components)
{
    for (auto const &entry : components.getComponents()) {
        Component const &component = entry.second;
        addRequest(component.getProject(), component.getName(), component.getType(),
            component.getVersion());
    }
}

std::string KwUpdaterClient::getQuery() const
{
    std::string query = "<s><update>";
    for (auto const &entry : requests) {
        Request const &request = *entry.second;
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
