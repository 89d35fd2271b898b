#pragma once

#include <string>

/// A file of a package together with the directory it belongs in, as a plain value.
class PathInstruction
{
public:
    PathInstruction(std::string const &file, std::string const &path);

    std::string const &getFile() const { return file; }
    std::string const &getPath() const { return path; }

private:
    std::string file;
    std::string path;
};
