#ifndef PATHINSTRUCTION_H
#define PATHINSTRUCTION_H

#include <string>

/// A file of a package together with the directory it belongs in, as a plain value.
class PathInstruction
{
public:
    PathInstruction(const std::string &file, const std::string &path);

    const std::string &getFile() const { return file; }
    const std::string &getPath() const { return path; }

private:
    std::string file;
    std::string path;
};

#endif // PATHINSTRUCTION_H
