// orvalda-compare's page: one self-contained HTML file of a comparison, a
// section a pair: the figures, the lag curve, both sides' spreads by hour,
// the price difference and the outages on one time line, and the lists of
// outages, missed runs and bad ticks.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "compare/comparison.h"

namespace orv::compare {

// How the page's title starts (the sides' names follow): what tells a page of
// orvalda-compare's from the other tools' pages.
inline constexpr std::string_view kPageTitleStart = "Broker comparison: ";

std::string htmlPage(const Comparison& c);

// Why the page may not be written to that name ("" when it may): it is one
// of the sides' recordings, or a file that is no page of orvalda-compare's.
std::string whyNotWritePage(const std::string& page, const std::array<std::vector<std::string>, kSides>& sides);
// Writes the page, put in place whole; false with the reason in error.
bool writePage(const std::string& path, const Comparison& c, std::string& error);

}  // namespace orv::compare
