#include "gzip/gzip_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include <zlib.h>

namespace orv::gzip {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 18;
// The extra field's subfield: "Ov", then the plain length (8 bytes) and CRC (4), little-endian.
constexpr unsigned char kMarkId[2] = {'O', 'v'};
constexpr std::size_t kMarkPayload = 12;
constexpr std::size_t kExtraRoom = 256;

void putLittle(unsigned char* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint64_t getLittle(const unsigned char* in, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | in[i];
  return value;
}

std::string zlibError(const z_stream& z, int code) {
  if (z.msg != nullptr) return z.msg;
  return "zlib error " + std::to_string(code);
}

}  // namespace

std::uint32_t crc32Of(std::uint32_t crc, const char* data, std::size_t size) {
  uLong value = crc;
  while (size > 0) {
    const uInt n = static_cast<uInt>(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
    value = crc32(value, reinterpret_cast<const Bytef*>(data), n);
    data += n;
    size -= n;
  }
  return static_cast<std::uint32_t>(value);
}

bool looksGzipped(std::string_view firstBytes) noexcept {
  return firstBytes.size() >= 2 && static_cast<unsigned char>(firstBytes[0]) == 0x1f &&
         static_cast<unsigned char>(firstBytes[1]) == 0x8b;
}

struct Writer::State {
  WriteFn write;
  z_stream z{};
  gz_header header{};
  unsigned char extra[4 + kMarkPayload]{};
  std::unique_ptr<unsigned char[]> out{new unsigned char[kChunk]};
  bool ready = false;
  bool finished = false;
  std::uint64_t bytesOut = 0;
};

Writer::Writer(WriteFn write, std::optional<PlainMark> mark, int level) : s_(std::make_unique<State>()) {
  s_->write = std::move(write);
  // 15 + 16: a gzip wrapper around the deflate stream.
  s_->ready = deflateInit2(&s_->z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  if (s_->ready && mark) {
    s_->extra[0] = kMarkId[0];
    s_->extra[1] = kMarkId[1];
    putLittle(s_->extra + 2, kMarkPayload, 2);
    putLittle(s_->extra + 4, mark->bytes, 8);
    putLittle(s_->extra + 12, mark->crc, 4);
    s_->header.extra = s_->extra;
    s_->header.extra_len = sizeof s_->extra;
    s_->header.os = 255;  // unknown, as the standard allows
    s_->ready = deflateSetHeader(&s_->z, &s_->header) == Z_OK;
  }
}

Writer::~Writer() {
  deflateEnd(&s_->z);
}

bool Writer::pump(int flush, std::string& error) {
  for (;;) {
    s_->z.next_out = s_->out.get();
    s_->z.avail_out = static_cast<uInt>(kChunk);
    const int code = deflate(&s_->z, flush);
    if (code == Z_STREAM_ERROR) {
      error = zlibError(s_->z, code);
      return false;
    }
    const std::size_t have = kChunk - s_->z.avail_out;
    if (have > 0) {
      if (!s_->write(reinterpret_cast<const char*>(s_->out.get()), have, error)) return false;
      s_->bytesOut += have;
    }
    if (flush == Z_FINISH ? code == Z_STREAM_END : s_->z.avail_out != 0) return true;
  }
}

bool Writer::write(const char* data, std::size_t size, std::string& error) {
  if (!s_->ready || s_->finished) {
    error = s_->ready ? "the compressed file was already ended" : "zlib could not start";
    return false;
  }
  while (size > 0) {
    const std::size_t n = std::min(size, kChunk);
    s_->z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    s_->z.avail_in = static_cast<uInt>(n);
    if (!pump(Z_NO_FLUSH, error)) return false;
    data += n;
    size -= n;
  }
  return true;
}

bool Writer::finish(std::string& error) {
  if (!s_->ready || s_->finished) {
    error = s_->ready ? "the compressed file was already ended" : "zlib could not start";
    return false;
  }
  s_->finished = true;
  s_->z.next_in = nullptr;
  s_->z.avail_in = 0;
  return pump(Z_FINISH, error);
}

std::uint64_t Writer::bytesOut() const noexcept { return s_->bytesOut; }

struct Reader::State {
  ReadFn read;
  z_stream z{};
  gz_header header{};
  unsigned char extra[kExtraRoom]{};
  std::unique_ptr<unsigned char[]> in{new unsigned char[kChunk]};
  bool ready = false;
  bool inMember = false;   // inside a member that has not ended
  bool sourceEnded = false;
  std::uint64_t members = 0;
  std::optional<PlainMark> mark;
};

Reader::Reader(ReadFn read) : s_(std::make_unique<State>()) {
  s_->read = std::move(read);
  s_->ready = inflateInit2(&s_->z, 15 + 16) == Z_OK;
  s_->header.extra = s_->extra;
  s_->header.extra_max = sizeof s_->extra;
  if (s_->ready) s_->ready = inflateGetHeader(&s_->z, &s_->header) == Z_OK;
}

Reader::~Reader() {
  inflateEnd(&s_->z);
}

std::optional<PlainMark> Reader::mark() const { return s_->mark; }
std::uint64_t Reader::members() const noexcept { return s_->members; }

std::ptrdiff_t Reader::read(char* out, std::size_t size, std::string& error) {
  State& s = *s_;
  if (!s.ready) {
    error = "zlib could not start";
    return -1;
  }
  size = std::min<std::size_t>(size, std::numeric_limits<uInt>::max());
  s.z.next_out = reinterpret_cast<Bytef*>(out);
  s.z.avail_out = static_cast<uInt>(size);
  // Fills the whole buffer when it can: the line reader's blocks stay as large as on a plain file.
  while (s.z.avail_out > 0) {
    if (s.z.avail_in == 0 && !s.sourceEnded) {
      const std::ptrdiff_t got = s.read(reinterpret_cast<char*>(s.in.get()), kChunk, error);
      if (got < 0) return -1;
      if (got == 0) s.sourceEnded = true;
      s.z.next_in = s.in.get();
      s.z.avail_in = static_cast<uInt>(got);
    }
    if (s.z.avail_in == 0) {
      if (s.z.avail_out < size || (!s.inMember && s.members > 0)) break;  // an error waits for the next call
      error = s.members == 0 ? "the file is empty, not gzip" : "the compressed data ends early (the file is cut short)";
      return -1;
    }
    if (!s.inMember) {
      if (s.members > 0) inflateReset(&s.z);
      s.inMember = true;
      ++s.members;
    }
    const int code = inflate(&s.z, Z_NO_FLUSH);
    if (s.members == 1 && !s.mark && s.header.done == 1 && s.header.extra != nullptr) {
      // Subfields: two id bytes, a length, the payload.
      const std::size_t have = std::min<std::size_t>(s.header.extra_len, sizeof s.extra);
      for (std::size_t at = 0; at + 4 <= have;) {
        const std::size_t length = getLittle(s.extra + at + 2, 2);
        if (s.extra[at] == kMarkId[0] && s.extra[at + 1] == kMarkId[1] && length == kMarkPayload &&
            at + 4 + length <= have)
          s.mark = PlainMark{getLittle(s.extra + at + 4, 8), static_cast<std::uint32_t>(getLittle(s.extra + at + 12, 4))};
        at += 4 + length;
      }
      s.header.extra = nullptr;  // read once
    }
    if (code == Z_STREAM_END) {
      s.inMember = false;
    } else if (code != Z_OK && code != Z_BUF_ERROR) {
      error = "the compressed data is damaged: " + zlibError(s.z, code);
      return -1;
    }
  }
  return static_cast<std::ptrdiff_t>(size - s.z.avail_out);
}

ReadFn plainTextOf(ReadFn raw) {
  // The first bytes are kept, then handed out before the rest.
  struct Peeked {
    ReadFn raw;
    std::string head;
    std::size_t at = 0;
    std::ptrdiff_t read(char* out, std::size_t size, std::string& error) {
      if (at < head.size()) {
        const std::size_t n = std::min(size, head.size() - at);
        std::memcpy(out, head.data() + at, n);
        at += n;
        return static_cast<std::ptrdiff_t>(n);
      }
      return raw(out, size, error);
    }
  };
  auto peeked = std::make_shared<Peeked>();
  peeked->raw = std::move(raw);
  bool started = false;
  std::shared_ptr<Reader> reader;
  return [peeked, started, reader](char* out, std::size_t size, std::string& error) mutable -> std::ptrdiff_t {
    if (!started) {
      started = true;
      char head[2];
      std::size_t got = 0;
      while (got < sizeof head) {
        const std::ptrdiff_t n = peeked->raw(head + got, sizeof head - got, error);
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
      }
      peeked->head.assign(head, got);
      if (looksGzipped(peeked->head))
        reader = std::make_shared<Reader>([peeked](char* b, std::size_t n, std::string& e) { return peeked->read(b, n, e); });
    }
    return reader ? reader->read(out, size, error) : peeked->read(out, size, error);
  };
}

}  // namespace orv::gzip
