#include "Util.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

std::string Util::generateComponentID(
    const std::string &project, const std::string &name, const std::string &type)
{
    return project + name + type;
}

bool Util::stringToUINT(const char *text, unsigned int *value)
{
    if (!text) {
        return false;
    }
    // strtoul skips leading blanks and takes a sign (negating in unsigned
    // arithmetic): a number must start with a digit, or be the empty text.
    if (*text != '\0' && (*text < '0' || *text > '9')) {
        return false;
    }
    errno = 0;
    char *end = nullptr;
    const unsigned long number = std::strtoul(text, &end, 0);
    if (*end != '\0' || errno == ERANGE || number > UINT_MAX) {
        return false;
    }
    *value = static_cast<unsigned int>(number);
    return true;
}
