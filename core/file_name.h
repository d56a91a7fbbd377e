// A name made safe to be one file or folder name on Windows, as the recorder
// names a symbol's files and orvalda-export names a symbol's outputs. Pure
// C++: a library of its own (orvalda_filename), so the tools link it alone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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

// The most bytes a symbol takes in a file name. Windows allows 255
// characters a name and, to most programs, 259 a whole path: a symbol of
// this size leaves room for the folders, the date and the extension
// around it, twice over where a folder is named after it too.
inline constexpr std::size_t kLongestNamedSymbol = 64;

// Eight hexadecimal digits that tell bytes apart (FNV-1a).
std::string shortHash(std::string_view bytes);

// A symbol longer than kLongestNamedSymbol bytes cut to its first whole
// UTF-8 characters, then "~" and the shortHash of `whole` (what the name
// stands for): names of long symbols stay short and apart. A shorter name
// is left as it is.
void shortenLongName(std::string& name, std::string_view whole);

}  // namespace orv
