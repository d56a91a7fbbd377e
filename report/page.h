// The frame of the tools' pages: one self-contained HTML file, styles inline,
// nothing fetched from elsewhere; texts escaped for it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::report {

// How every page starts: what tells the tools' pages from any other file.
inline constexpr std::string_view kPageStart = "<!DOCTYPE html>\n<html lang=\"en\">";
inline constexpr std::string_view kPageEnd = "</body></html>\n";

// kPageStart, the head with the title (given as HTML) and the shared styles
// followed by moreStyle, and the body's start.
std::string pageHead(std::string_view title, std::string_view moreStyle = {});

// Text with &, <, > and " escaped.
std::string escaped(std::string_view text);
// Bytes of a recording made readable (report/texts.h's readable), escaped.
std::string html(std::string_view bytes, std::size_t maxBytes = 400);

// A row of a table of facts: the name, then its value (both as HTML).
std::string factRow(const std::string& name, const std::string& value);

}  // namespace orv::report
