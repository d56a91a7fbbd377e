// Splits a stream of bytes into lines, reading it in blocks: memory stays the
// same whatever the file's size (64-bit counts throughout) and however long a
// line is. A line ends with CR LF, a bare LF or a bare CR. A gzip stream
// (a .csv.gz) is read as the lines it holds, the same way: every tool that
// reads recordings reads them through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace orv::recordings {

enum class LineEnd : std::uint8_t { CrLf, Lf, Cr, None };  // None: the last line, without an end
inline constexpr std::size_t kLineEnds = 4;

struct Line {
  std::string_view text;      // without its end; valid until the next call
  std::uint64_t number = 0;   // 1-based
  std::uint64_t length = 0;   // bytes, without the end
  LineEnd end = LineEnd::None;
  bool overlong = false;      // longer than LineReader::kMaxLine: text holds only its first bytes
};

class LineReader {
 public:
  static constexpr std::size_t kBlock = std::size_t{1} << 20;
  static constexpr std::size_t kMaxLine = std::size_t{1} << 16;
  static constexpr std::size_t kOverlongKept = 64;

  // read(buffer, size) fills up to size bytes and returns how many, 0 at the
  // end, or -1 on a read error (with the reason in error).
  using ReadFn = std::function<std::ptrdiff_t(char* buffer, std::size_t size, std::string& error)>;

  // readAtMost: the most bytes of text read at a time, for a caller that
  // wants only the first lines of what may be a large .csv.gz.
  explicit LineReader(ReadFn read, std::size_t readAtMost = SIZE_MAX);

  // The next line; false at the end, or on a read error (error() not empty).
  bool next(Line& line);
  const std::string& error() const noexcept { return error_; }
  // The bytes read but not yet returned as lines, for a caller that takes
  // lines itself; consume() then says how many bytes and lines it took.
  std::string_view buffered() const noexcept { return {buffer_.get() + begin_, end_ - begin_}; }
  void consume(std::size_t bytes, std::uint64_t lines) noexcept {
    begin_ += bytes;
    lines_ += lines;
  }
  std::uint64_t linesRead() const noexcept { return lines_; }
  std::uint64_t bytesRead() const noexcept { return bytes_; }
  // Bytes searched for line ends so far: each byte a bounded number of
  // times, however the lines end.
  std::uint64_t bytesSearched() const noexcept { return searched_; }

 private:
  bool findEnd(std::size_t& length, LineEnd& kind, std::size_t& endSize);
  bool fill();
  const char* search(std::size_t from, std::size_t to, char c) noexcept;

  ReadFn read_;
  std::unique_ptr<char[]> buffer_;  // kBlock + kMaxLine bytes, never cleared
  std::size_t capacity_ = 0;
  std::size_t readAtMost_ = 0;
  std::size_t begin_ = 0, end_ = 0;
  std::size_t noLfBefore_ = 0;  // no LF in [begin_, noLfBefore_): not looked at again
  std::size_t noCrBefore_ = 0;  // the same for CR, while no LF is in sight
  std::size_t lfAt_ = kNoLf;    // the next LF found at or after begin_, kept for the lines of bare CRs before it
  static constexpr std::size_t kNoLf = static_cast<std::size_t>(-1);
  bool atEnd_ = false;
  std::uint64_t bytes_ = 0;
  std::uint64_t lines_ = 0;
  std::uint64_t searched_ = 0;
  std::string overlongStart_;
  std::string error_;
};

}  // namespace orv::recordings
