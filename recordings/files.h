// Files by their UTF-8 names, on Windows too.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace orv::recordings {

// A UTF-8 name as the system's own form of path, and back.
std::filesystem::path pathOf(const std::string& utf8);
std::string utf8Of(const std::filesystem::path& path);

std::FILE* openFile(const std::string& path, const char* mode);

// True when both names lead to the same existing file.
bool sameFile(const std::string& a, const std::string& b);
bool fileExists(const std::string& path);

}  // namespace orv::recordings
