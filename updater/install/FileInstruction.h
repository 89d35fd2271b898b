#ifndef FILEINSTRUCTION_H
#define FILEINSTRUCTION_H

#include <string>

/// A package descriptor's instruction for one file, as a plain value.
class FileInstruction
{
public:
    enum type_e {
        Add, ///< put the packaged file in place
        Remove, ///< delete the installed file
        Keep, ///< only back the installed file up
    };

    FileInstruction(type_e type, const std::string &filename, const std::string &path);

    type_e getType() const { return type; }
    const std::string &getFilename() const { return filename; }
    const std::string &getPath() const { return path; }

private:
    type_e type;
    std::string filename;
    std::string path;
};

#endif // FILEINSTRUCTION_H
