#pragma once

#include <string>

/// Small stateless helpers of the update protocol.
class Util
{
public:
    /// project + name + type, without separator: the key of registries and queries.
    static std::string generateComponentID(
        std::string const &project, std::string const &name, std::string const &type);

    /**
     * Reads @p text as an unsigned number in C notation (decimal, 0x-prefixed
     * hexadecimal, 0-prefixed octal). Returns true and stores the number in
     * @p value only when the whole text was consumed and the number fits in 32
     * bits; an empty text gives 0. A null text, a sign, trailing characters or
     * an overflow give false and leave @p value alone.
     */
    static bool stringToUINT(char const *text, unsigned int *value);
};
