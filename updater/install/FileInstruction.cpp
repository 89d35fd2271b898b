#include "FileInstruction.h"

FileInstruction::FileInstruction(type_e type, std::string const &filename, std::string const &path)
    : type(type)
    , filename(filename)
    , path(path)
{ }
