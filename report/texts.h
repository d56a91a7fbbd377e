// Texts for people: bytes of a recording made readable, times and durations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/row_format.h"

namespace orv::report {

// The bytes as UTF-8: valid UTF-8 stays, any other byte is read as Windows-1252
// (the code page Orvalda's symbols arrive in), control characters become
// \xNN. Longer than maxBytes: cut, with "..." after.
std::string readable(std::string_view bytes, std::size_t maxBytes = 80);
// readable() in single quotes.
std::string quoted(std::string_view bytes, std::size_t maxBytes = 80);

// "1 row", "2 rows".
std::string plural(std::uint64_t n, const char* one, const char* many);

// "0.250 s", "5 min 03.000 s", "1 h 00 min 00.010 s", "2 d 03 h 00 min".
std::string durationText(std::int64_t ms);
// Milliseconds as seconds with three decimals: "300.000".
std::string secondsText(std::int64_t ms);
// The same without trailing zeros, and " s": "60 s", "0.5 s".
std::string shortSecondsText(std::int64_t ms);

// A time of a recording's clock (ms since 1970): "2026-12-07 09:26:33".
std::string dateTimeText(std::int64_t ms);
// The same as a row's stamp: "20261207 09:26:33.370".
std::string stampText(std::int64_t ms);

// Floor division and its remainder, for times before 1970 too.
constexpr std::int64_t floorMod(std::int64_t a, std::int64_t b) noexcept { return a - floorDiv(a, b) * b; }

inline constexpr std::int64_t kMsPerDay = 86400000;

}  // namespace orv::report
