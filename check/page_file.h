// The page orvalda-check writes: put in place whole, and told from any other file.
#pragma once

#include <string>
#include <string_view>

namespace orv::check {

// Writes text to a file, replacing it: to a temporary name beside it, then
// renamed over it. False with the reason in error, the file as it was.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& error);

// How every page orvalda-check writes starts, and its title's start: what
// tells such a page from any other file.
inline constexpr std::string_view kPageStart = "<!DOCTYPE html>\n<html lang=\"en\">";
inline constexpr std::string_view kPageTitle = "<title>Recording check: ";
// True when the file begins as orvalda-check's pages do.
bool startsWithPage(const std::string& path);

}  // namespace orv::check
