// The pages the tools write: put in place whole, never over a recording nor
// over a file that is no page of the tool's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv::report {

// Writes text to a file, replacing it: to a temporary name beside it, then
// renamed over it. False with the reason in error, the file as it was.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& error);

// True when the file begins as the tools' pages do (report/page.h's
// kPageStart) and its title starts with titleStart.
bool startsWithPage(const std::string& path, std::string_view titleStart);

// Who writes a page, to tell why it may not go where it was asked.
struct PageWriter {
  std::string_view titleStart;  // how its pages' titles start: "Recording check: "
  std::string_view program;     // "orvalda-check"
  std::string_view inputs;      // what its inputs are to the user: "the recordings to check"
};
// Why the page may not be written to that name ("" when it may): it is one
// of the inputs, or a file that is no page of the writer's.
std::string whyNotWritePage(const std::string& page, const std::vector<std::string>& inputs, const PageWriter& writer);

}  // namespace orv::report
