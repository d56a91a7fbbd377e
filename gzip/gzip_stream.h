// gzip files, streamed in constant memory, with zlib (linked statically).
// The writer makes one member, as many readers stop at the first; the reader
// reads every member there is. Neither knows about files: bytes go through
// the functions they are given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orv::gzip {

// Fills up to `size` bytes and returns how many, 0 at the end, or -1 with the
// reason in `error` (the same contract as the tools' line reader).
using ReadFn = std::function<std::ptrdiff_t(char* buffer, std::size_t size, std::string& error)>;
// Writes all of `size` bytes, or returns false with the reason.
using WriteFn = std::function<bool(const char* data, std::size_t size, std::string& error)>;

// What a compressed day says about the plain file it was last made from, in
// an extra field of its header (readers skip it): that file's length and
// CRC-32. A plain file whose first bytes match is in the compressed one.
struct PlainMark {
  std::uint64_t bytes = 0;
  std::uint32_t crc = 0;
  bool operator==(const PlainMark&) const = default;
};

// zlib's level: the day of rows compresses about 7x at it, in well under 0.2 s.
inline constexpr int kLevel = 6;

std::uint32_t crc32Of(std::uint32_t crc, const char* data, std::size_t size);

// True when the bytes start as a gzip file does.
bool looksGzipped(std::string_view firstBytes) noexcept;

class Writer {
 public:
  Writer(WriteFn write, std::optional<PlainMark> mark, int level = kLevel);
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  bool write(const char* data, std::size_t size, std::string& error);
  // Ends the member (and writes what is left); nothing may be written after it.
  bool finish(std::string& error);
  std::uint64_t bytesOut() const noexcept;

 private:
  struct State;
  bool pump(int flush, std::string& error);
  std::unique_ptr<State> s_;
};

class Reader {
 public:
  explicit Reader(ReadFn read);
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  // The plain bytes, as ReadFn. Data cut short or damaged is an error.
  std::ptrdiff_t read(char* out, std::size_t size, std::string& error);
  // The first member's mark, once a read has returned; none when it has none.
  std::optional<PlainMark> mark() const;
  // Members begun so far.
  std::uint64_t members() const noexcept;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// The plain text of a source that may be gzip: read through a Reader when its
// first bytes are gzip's, as they are otherwise.
ReadFn plainTextOf(ReadFn raw);

}  // namespace orv::gzip
