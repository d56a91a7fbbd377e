// What orvalda-compare tells: a summary in plain words, one line a finding,
// the most important first; and the whole comparison as JSON (its schema is
// in the user's guide). Both are written from a Comparison alone.
#pragma once

#include <cstdint>
#include <string>

#include "compare/comparison.h"

namespace orv::compare {

std::string summaryText(const Comparison& c);
std::string jsonText(const Comparison& c);

// "2026-12-01 10:03:12.345" (UTC).
std::string utcText(std::int64_t utcMs);

}  // namespace orv::compare
