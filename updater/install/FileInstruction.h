#pragma once

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

    FileInstruction(type_e type, std::string const &filename, std::string const &path);

    type_e getType() const { return type; }
    std::string const &getFilename() const { return filename; }
    std::string const &getPath() const { return path; }

private:
    type_e type;
    std::string filename;
    std::string path;
};
