#include "PathInstruction.h"

PathInstruction::PathInstruction(std::string const &file, std::string const &path)
    : file(file)
    , path(path)
{ }
