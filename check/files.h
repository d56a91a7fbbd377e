// Files by their UTF-8 names, on Windows too.
#pragma once

#include <cstdio>
#include <string>

namespace orv::check {

std::FILE* openFile(const std::string& path, const char* mode);
// Writes text to a file, replacing it; false with the reason in error.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace orv::check
