#include "recordings/line_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "gzip/gzip_stream.h"

namespace orv::recordings {

LineReader::LineReader(ReadFn read, std::size_t readAtMost)
    : read_(gzip::plainTextOf(std::move(read))),
      buffer_(new char[kBlock + kMaxLine]),
      capacity_(kBlock + kMaxLine),
      readAtMost_(readAtMost) {}

// Finds the end of the line at begin_: its length, kind and size in bytes.
// False when the bytes there hold no end yet (or a CR whose next byte is
// still to come).
bool LineReader::findEnd(std::size_t& length, LineEnd& kind, std::size_t& endSize) {
  char* const base = buffer_.get();
  if (lfAt_ == kNoLf || lfAt_ < begin_) {
    const char* lf = search(std::max(begin_, noLfBefore_), end_, '\n');
    lfAt_ = lf != nullptr ? static_cast<std::size_t>(lf - base) : kNoLf;
  }
  if (lfAt_ != kNoLf) {
    const std::size_t upToLf = lfAt_ - begin_;
    const char* cr = search(begin_, lfAt_, '\r');
    if (cr == nullptr) {
      length = upToLf, kind = LineEnd::Lf, endSize = 1;
    } else if (cr + 1 == base + lfAt_) {
      length = upToLf - 1, kind = LineEnd::CrLf, endSize = 2;
    } else {
      length = static_cast<std::size_t>(cr - (base + begin_)), kind = LineEnd::Cr, endSize = 1;
    }
    return true;
  }
  noLfBefore_ = end_;
  const char* cr = search(std::max(begin_, noCrBefore_), end_, '\r');
  if (cr != nullptr && (cr + 1 < base + end_ || atEnd_)) {
    length = static_cast<std::size_t>(cr - (base + begin_)), kind = LineEnd::Cr, endSize = 1;
    return true;
  }
  noCrBefore_ = cr != nullptr ? static_cast<std::size_t>(cr - base) : end_;  // a last CR is looked at again
  return false;
}

// The first c in [from, to), counting the bytes looked at.
const char* LineReader::search(std::size_t from, std::size_t to, char c) noexcept {
  const char* const start = buffer_.get() + from;
  const char* at = static_cast<const char*>(std::memchr(start, c, to - from));
  searched_ += at != nullptr ? static_cast<std::size_t>(at - start) + 1 : to - from;
  return at;
}

bool LineReader::fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    noLfBefore_ = noLfBefore_ > begin_ ? noLfBefore_ - begin_ : 0;
    noCrBefore_ = noCrBefore_ > begin_ ? noCrBefore_ - begin_ : 0;
    lfAt_ = lfAt_ != kNoLf && lfAt_ >= begin_ ? lfAt_ - begin_ : kNoLf;
    begin_ = 0;
  }
  const std::ptrdiff_t got = read_(buffer_.get() + end_, std::min(capacity_ - end_, readAtMost_), error_);
  if (got < 0) {
    if (error_.empty()) error_ = "read error";
    return false;
  }
  if (got == 0) atEnd_ = true;
  end_ += static_cast<std::size_t>(got);
  bytes_ += static_cast<std::uint64_t>(got);
  return true;
}

bool LineReader::next(Line& line) {
  bool overlong = false;
  std::uint64_t overlongLength = 0;
  for (;;) {
    std::size_t length = 0, endSize = 0;
    LineEnd kind = LineEnd::None;
    const bool found = findEnd(length, kind, endSize);
    if (found || (atEnd_ && (end_ > begin_ || overlong))) {
      if (!found) length = end_ - begin_;
      const char* p = buffer_.get() + begin_;
      // Too long a line is overlong however the reads came, whole in the buffer or not.
      if (!overlong && length > kMaxLine) {
        overlongStart_.assign(p, kOverlongKept);
        overlong = true;
      }
      line.number = ++lines_;
      line.end = kind;
      line.overlong = overlong;
      if (overlong) {
        line.length = overlongLength + length;
        line.text = overlongStart_;
      } else {
        line.length = length;
        line.text = std::string_view(p, length);
      }
      begin_ += length + endSize;
      return true;
    }
    if (atEnd_) return false;
    // No end in sight: a line too long to keep is counted, not kept.
    const std::size_t have = end_ - begin_;
    if (have >= kMaxLine) {
      if (!overlong) overlongStart_.assign(buffer_.get() + begin_, kOverlongKept);
      overlong = true;
      const std::size_t keep = buffer_[end_ - 1] == '\r' ? 1 : 0;  // may start a CR LF
      overlongLength += have - keep;
      begin_ = end_ - keep;
    }
    if (!fill()) return false;
  }
}

}  // namespace orv::recordings
