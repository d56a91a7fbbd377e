#include "export/zip_file.h"

#include <zlib.h>


namespace orv::exporter {

namespace {

constexpr std::size_t kPending = 256 * 1024;

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

struct ZipFile::Stream {
  z_stream z{};
  bool started = false;
  unsigned char out[64 * 1024];
};

ZipFile::ZipFile() : stream_(std::make_unique<Stream>()) {}
ZipFile::~ZipFile() { abandon(); }

bool ZipFile::open(const std::string& path, const std::string& entryName, int year, unsigned month, unsigned day,
                   std::string& error) {
  abandon();
  if (!out_.open(path, error)) return false;
  entryName_ = entryName;
  crc_ = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
  size_ = compressed_ = 0;
  failed_ = false;
  pending_.clear();
  pending_.reserve(kPending);
  dosTime_ = 0;
  dosDate_ = static_cast<std::uint16_t>(((year < 1980 ? 0 : year - 1980) << 9) | (month << 5) | day);
  stream_->z = z_stream{};
  // Raw deflate (no zlib wrapper), as zip holds it.
  if (deflateInit2(&stream_->z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    error = "cannot start compressing " + path;
    out_.abandon();
    return false;
  }
  stream_->started = true;
  // The local header; its sizes and CRC are filled in at the end.
  std::string header;
  put32(header, 0x04034b50);
  put16(header, 20);  // version needed: 2.0, deflate
  put16(header, 0x0800);  // flags: the name is UTF-8
  put16(header, 8);  // deflate
  put16(header, dosTime_);
  put16(header, dosDate_);
  put32(header, 0);
  put32(header, 0);
  put32(header, 0);
  put16(header, static_cast<std::uint32_t>(entryName_.size()));
  put16(header, 0);
  header += entryName_;
  out_.append(header);
  return true;
}

void ZipFile::append(std::string_view text) {
  pending_.append(text);
  if (pending_.size() >= kPending) deflateBuffered(false);
}

void ZipFile::deflateBuffered(bool finish) {
  z_stream& z = stream_->z;
  crc_ = static_cast<std::uint32_t>(crc32(crc_, reinterpret_cast<const Bytef*>(pending_.data()),
                                          static_cast<uInt>(pending_.size())));
  size_ += pending_.size();
  z.next_in = reinterpret_cast<Bytef*>(pending_.data());
  z.avail_in = static_cast<uInt>(pending_.size());
  int result = Z_OK;
  do {
    z.next_out = stream_->out;
    z.avail_out = sizeof stream_->out;
    result = deflate(&z, finish ? Z_FINISH : Z_NO_FLUSH);
    if (result == Z_STREAM_ERROR) {
      failed_ = true;
      break;
    }
    const std::size_t n = sizeof stream_->out - z.avail_out;
    out_.append(std::string_view(reinterpret_cast<const char*>(stream_->out), n));
    compressed_ += n;
  } while (z.avail_out == 0 || (finish && result != Z_STREAM_END));
  pending_.clear();
}

bool ZipFile::close(std::string& error) {
  if (!out_.isOpen()) return true;
  deflateBuffered(true);
  deflateEnd(&stream_->z);
  stream_->started = false;
  if (failed_ || size_ > 0xFFFFFFFFull || compressed_ > 0xFFFFFFFFull) {
    error = "cannot compress " + out_.path() + " (more than 4 GB in a day?)";
    out_.abandon();
    return false;
  }
  const std::uint32_t headerSize = 30 + static_cast<std::uint32_t>(entryName_.size());
  const std::uint32_t centralAt = headerSize + static_cast<std::uint32_t>(compressed_);
  std::string central;
  put32(central, 0x02014b50);
  put16(central, 20);  // made by: 2.0
  put16(central, 20);
  put16(central, 0x0800);
  put16(central, 8);
  put16(central, dosTime_);
  put16(central, dosDate_);
  put32(central, crc_);
  put32(central, static_cast<std::uint32_t>(compressed_));
  put32(central, static_cast<std::uint32_t>(size_));
  put16(central, static_cast<std::uint32_t>(entryName_.size()));
  put16(central, 0);  // extra
  put16(central, 0);  // comment
  put16(central, 0);  // disk
  put16(central, 0);  // internal attributes
  put32(central, 0);  // external attributes
  put32(central, 0);  // the local header's offset
  central += entryName_;
  const std::uint32_t centralSize = static_cast<std::uint32_t>(central.size());
  put32(central, 0x06054b50);
  put16(central, 0);
  put16(central, 0);
  put16(central, 1);
  put16(central, 1);
  put32(central, centralSize);
  put32(central, centralAt);
  put16(central, 0);
  out_.append(central);
  // The CRC and sizes go into the local header, at offset 14.
  std::string sizes;
  put32(sizes, crc_);
  put32(sizes, static_cast<std::uint32_t>(compressed_));
  put32(sizes, static_cast<std::uint32_t>(size_));
  out_.patch(14, sizes);
  return out_.settle(error);
}

void ZipFile::abandon() noexcept {
  if (stream_ && stream_->started) {
    deflateEnd(&stream_->z);
    stream_->started = false;
  }
  out_.abandon();
}

}  // namespace orv::exporter
