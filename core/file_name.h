// A name made safe to be one file or folder name on Windows, as the recorder
// names a symbol's files and orvalda-export names a symbol's outputs. Pure
// C++: a library of its own (orvalda_filename), so the tools link it alone.
#pragma once

#include <string>

namespace orv {

// The letters A-Z made a-z (asciiLower) or the other way round (asciiUpper),
// every other byte kept: names compared as Windows compares them.
std::string asciiLower(std::string s);
std::string asciiUpper(std::string s);

// Replaces every character Windows forbids in a file name by "_".
void replaceForbiddenFileNameCharacters(std::string& name);

// Makes one path component an ordinary file or folder name on Windows that
// stays where it is put: forbidden characters become "_", an empty name
// "_", dots and spaces at its end "_" (so "." and ".." never climb), and a
// device name ("NUL", "con.csv", "COM1.txt") gets a "_" in front.
void makeOrdinaryFileName(std::string& name);

}  // namespace orv
