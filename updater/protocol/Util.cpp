#include "Util.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

std::string Util::generateComponentID(
    std::string const &project, std::string const &name, std::string const &type)
{
    return project + name + type;
}

bool Util::stringToUINT(char const *text, unsigned int *value)
{
    if (!text) {
        return false;
    }
    // strtoul accepts a minus sign and negates the result in unsigned
    // arithmetic; such a wrapped value must not pass as a number.
    if (std::strchr(text, '-')) {
        return false;
    }
    errno = 0;
    char *end = nullptr;
    unsigned long const number = std::strtoul(text, &end, 0);
    if (*end != '\0' || errno == ERANGE || number > UINT_MAX) {
        return false;
    }
    *value = static_cast<unsigned int>(number);
    return true;
}
