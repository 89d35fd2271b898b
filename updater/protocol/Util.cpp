#include "Util.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

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
    // strtoul accepts a minus sign and negates the result in unsigned
    // arithmetic; such a wrapped value must not pass as a number.
    if (std::strchr(text, '-')) {
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
