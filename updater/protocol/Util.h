#ifndef UTIL_H
#define UTIL_H

#include <string>

/// Small stateless helpers of the update protocol.
class Util
{
public:
    /// project + name + type, without separator: the key of registries and queries.
    static std::string generateComponentID(
        const std::string &project, const std::string &name, const std::string &type);

    /**
     * Reads @p text as an unsigned number in C notation (decimal, 0x-prefixed
     * hexadecimal, 0-prefixed octal). Returns true and stores the number in
     * @p value only when the whole text was consumed and the number fits in 32
     * bits; an empty text gives 0. A null text, a sign, leading or trailing
     * blanks, other characters or an overflow give false and leave @p value
     * alone.
     */
    static bool stringToUINT(const char *text, unsigned int *value);
};

#endif // UTIL_H
