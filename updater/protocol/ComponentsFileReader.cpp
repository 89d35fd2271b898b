#include "ComponentsFileReader.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

constexpr char header[] = "<components>\n";
constexpr char footer[] = "</components>";
constexpr char componentStart[] = "<component project='";
constexpr char componentEnd[] = "</email>\n</component>";

// The text that closes each field but the last, in field order after project.
constexpr std::array<const char *, 8> fieldEnds = {
    "' name='",
    "' type='",
    "' version='",
    "'>\n<description>",
    "</description>\n<copyrights>",
    "</copyrights>\n<author>",
    "</author>\n<webpage>",
    "</webpage>\n<email>",
};

class Cursor
{
public:
    explicit Cursor(const std::string &text)
        : text(text)
    { }

    bool atEnd() const { return pos == text.size(); }
    std::size_t position() const { return pos; }

    bool skip(const char *literal)
    {
        std::string const expected(literal);
        if (text.compare(pos, expected.size(), expected) != 0) {
            return false;
        }
        pos += expected.size();
        return true;
    }

    /// Takes the bytes up to the first @p delimiter and moves past it.
    bool takeUntil(const char *delimiter, std::string &value)
    {
        std::size_t const end = text.find(delimiter, pos);
        if (end == std::string::npos) {
            return false;
        }
        value = text.substr(pos, end - pos);
        pos = end + std::string(delimiter).size();
        return true;
    }

    /// Takes the email field: the first end of a component that is followed by
    /// either the next component or the end of the registry.
    bool takeLastField(std::string &value)
    {
        std::size_t const length = std::string(componentEnd).size();
        for (std::size_t end = text.find(componentEnd, pos); end != std::string::npos;
             end = text.find(componentEnd, end + 1)) {
            std::size_t const next = end + length;
            if (text.compare(next, std::string::npos, footer) == 0
                || text.compare(next, std::string(componentStart).size(), componentStart) == 0) {
                value = text.substr(pos, end - pos);
                pos = next;
                return true;
            }
        }
        return false;
    }

private:
    const std::string &text;
    std::size_t pos = 0;
};

bool fail(std::string *errorText, const std::string &reason, std::size_t offset)
{
    if (errorText) {
        *errorText = reason + " at byte " + std::to_string(offset);
    }
    return false;
}

} // namespace

bool ComponentsFileReader::parse(
    const std::string &text, ComponentsFile &registry, std::string *errorText)
{
    Cursor cursor(text);
    if (!cursor.skip(header)) {
        return fail(errorText, "expected \"<components>\" and a line feed", cursor.position());
    }
    ComponentsFile parsed;
    for (;;) {
        if (cursor.skip(footer)) {
            if (!cursor.atEnd()) {
                return fail(
                    errorText, "unexpected bytes after \"</components>\"", cursor.position());
            }
            break;
        }
        if (!cursor.skip(componentStart)) {
            return fail(errorText, "expected \"<component project='\" or \"</components>\"",
                cursor.position());
        }
        std::array<std::string, 9> fields;
        for (std::size_t i = 0; i < fieldEnds.size(); ++i) {
            if (!cursor.takeUntil(fieldEnds[i], fields[i])) {
                return fail(
                    errorText, std::string("missing \"") + fieldEnds[i] + '"', cursor.position());
            }
        }
        if (!cursor.takeLastField(fields[8])) {
            return fail(errorText, "unterminated component", cursor.position());
        }
        parsed.addComponent(Component(fields[0], fields[1], fields[2], fields[3], fields[4],
            fields[5], fields[6], fields[7], fields[8]));
    }
    for (const auto &entry : parsed.getComponents()) {
        registry.addComponent(entry.second);
    }
    return true;
}

bool ComponentsFileReader::read(
    const std::string &path, ComponentsFile &registry, std::string *errorText)
{
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in) {
        if (errorText) {
            *errorText = std::strerror(errno);
        }
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        if (errorText) {
            *errorText = std::strerror(errno);
        }
        return false;
    }
    return parse(buffer.str(), registry, errorText);
}
