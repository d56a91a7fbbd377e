// Files by their UTF-8 names, on Windows too.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace orv::check {

// A UTF-8 name as the system's own form of path, and back.
std::filesystem::path pathOf(const std::string& utf8);
std::string utf8Of(const std::filesystem::path& path);

std::FILE* openFile(const std::string& path, const char* mode);
// Writes text to a file, replacing it: to a temporary name beside it, then
// renamed over it. False with the reason in error, the file as it was.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& error);

// True when both names lead to the same existing file.
bool sameFile(const std::string& a, const std::string& b);
bool fileExists(const std::string& path);
// How every page orvalda-check writes starts, and its title's start: what
// tells such a page from any other file.
inline constexpr std::string_view kPageStart = "<!DOCTYPE html>\n<html lang=\"en\">";
inline constexpr std::string_view kPageTitle = "<title>Recording check: ";
// True when the file begins as orvalda-check's pages do.
bool startsWithPage(const std::string& path);

}  // namespace orv::check
