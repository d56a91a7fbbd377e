// Window-message protocol spoken with the feeder and the tester.
// Pure data and decoding: no window system here.
#pragma once

#include <cstdint>

#include "core/quote.h"

namespace orv {

// Message codes, the same in both directions.
inline constexpr std::uint32_t WM_TICK = 0x400;          // WM_USER: ask in wParam, bid in lParam
inline constexpr std::uint32_t WM_SYMBOL_HEAD = 0x500;   // letters 1-4 (feeder) / connect step 1 (tester)
inline constexpr std::uint32_t WM_SYMBOL_TAIL = 0x501;   // letters 5-6 + Digits (feeder) / connect step 2
inline constexpr std::uint32_t WM_FEED_CONTROL = 0x502;  // ignored from the feeder / connect step 3, disconnect

// Window titles and classes by which the programs find each other.
inline constexpr const char* kAppTitle = "Orvalda";
inline constexpr const char* kMainWindowClass = "TForm1";
inline constexpr const char* kAppWindowClass = "TApplication";
inline constexpr const char* kTesterTitle = "Zentavor";

// A message parameter as it arrives: the window system hands over pointer-sized values.
// A 32-bit sender's lParam reaches a 64-bit receiver sign-extended, so only the low
// 32 bits carry the protocol's value, always read as unsigned.
constexpr std::uint32_t low32(std::uint64_t param) noexcept { return static_cast<std::uint32_t>(param); }

// Two letters travel in one parameter: the earlier in bits 16-23, the later in bits 0-7.
constexpr char highLetter(std::uint32_t param) noexcept { return static_cast<char>((param >> 16) & 0xFF); }
constexpr char lowLetter(std::uint32_t param) noexcept { return static_cast<char>(param & 0xFF); }

// The inverse, for the feeder: packs two letters the way the recorder decodes them.
constexpr std::uint32_t packLetters(char first, char second) noexcept {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(first)) << 16) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(second));
}

// A tick as WM_TICK carries it: the ask in wParam, the bid in lParam (their
// low 32 bits, read unsigned).
constexpr Quote quoteOfTick(std::uint64_t wParam, std::uint64_t lParam) noexcept {
  return Quote{low32(lParam), low32(wParam)};
}
// A tick sent on: the ask zero-extended into wParam, the bid sign-extended into lParam,
// which is what a 32-bit sender's message looks like on a 64-bit system.
constexpr std::uint64_t tickWParam(const Quote& quote) noexcept { return quote.ask; }
constexpr std::int64_t tickLParam(const Quote& quote) noexcept {
  return static_cast<std::int64_t>(static_cast<std::int32_t>(quote.bid));
}

}  // namespace orv
