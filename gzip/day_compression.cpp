#include "gzip/day_compression.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace orv::gzip {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 18;

std::uint64_t linesIn(const char* data, std::size_t size) {
  return static_cast<std::uint64_t>(std::count(data, data + size, '\n'));
}

// The plain bytes the compressed file is made of, in order: what the earlier
// compressed file holds, then the plain file from `skip` on, to `plainEnd`.
class Sources {
 public:
  Sources(DayFiles& files, const std::string& gzPath, bool hadGz, const std::string& plainPath, std::uint64_t skip,
          std::uint64_t plainEnd)
      : files_(files), gzPath_(gzPath), hadGz_(hadGz), plainPath_(plainPath), skip_(skip), plainEnd_(plainEnd) {}

  bool open(std::string& error) {
    inGz_ = hadGz_;
    earlierCut_ = false;
    if (hadGz_) {
      ReadFn raw = files_.openRead(gzPath_, error);
      if (!raw) return false;
      gz_ = std::make_unique<Reader>(std::move(raw));
    }
    plain_ = files_.openRead(plainPath_, error);
    plainAt_ = 0;
    return static_cast<bool>(plain_);
  }

  // Up to size bytes; 0 at the end, -1 on an error. earlier: they came from the compressed file.
  std::ptrdiff_t read(char* out, std::size_t size, bool& earlier, std::string& error) {
    if (inGz_) {
      const std::ptrdiff_t n = gz_->read(out, size, error);
      if (n < 0) {
        error = "cannot read " + gzPath_ + ": " + error;
        return -1;
      }
      if (n > 0) {
        earlier = true;
        earlierCut_ = out[n - 1] != '\n';
        return n;
      }
      inGz_ = false;
      // Rows of a plain file of its own never go onto a row the earlier
      // text left cut: that row gets its line end (and stays torn).
      if (earlierCut_ && skip_ == 0 && plainEnd_ > 0 && size > 0) {
        earlier = true;
        earlierCut_ = false;
        out[0] = '\n';
        return 1;
      }
    }
    earlier = false;
    while (plainAt_ < plainEnd_) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, plainEnd_ - plainAt_));
      const std::ptrdiff_t n = plain_(out, want, error);
      if (n < 0) {
        error = "cannot read " + plainPath_ + ": " + error;
        return -1;
      }
      if (n == 0) {
        error = plainPath_ + " became shorter while it was read";
        return -1;
      }
      const std::uint64_t from = plainAt_;
      plainAt_ += static_cast<std::uint64_t>(n);
      if (plainAt_ <= skip_) continue;
      const std::size_t drop = static_cast<std::size_t>(from < skip_ ? skip_ - from : 0);
      if (drop > 0) std::memmove(out, out + drop, static_cast<std::size_t>(n) - drop);
      return n - static_cast<std::ptrdiff_t>(drop);
    }
    return 0;
  }

 private:
  DayFiles& files_;
  const std::string& gzPath_;
  bool hadGz_;
  const std::string& plainPath_;
  std::uint64_t skip_, plainEnd_;
  bool inGz_ = false;
  bool earlierCut_ = false;  // the earlier text so far ends inside a row
  std::unique_ptr<Reader> gz_;
  ReadFn plain_;
  std::uint64_t plainAt_ = 0;
};

}  // namespace

DayCompression compressDay(DayFiles& files, const std::string& plainPath, const std::string& gzPath,
                           const std::string& part) {
  DayCompression r;
  auto fail = [&](std::string why) {
    r.error = std::move(why);
    std::string ignored;
    if (files.exists(part)) files.remove(part, ignored);
    return r;
  };
  std::string error;

  // What the compressed file says it holds of the plain file.
  const bool hadGz = files.exists(gzPath);
  std::optional<PlainMark> mark;
  if (hadGz) {
    ReadFn raw = files.openRead(gzPath, error);
    if (!raw) return fail("cannot read " + gzPath + ": " + error);
    Reader gz(std::move(raw));
    char first[1];
    if (gz.read(first, sizeof first, error) < 0) return fail("cannot read " + gzPath + ": " + error);
    mark = gz.mark();
  }

  // The plain file's length and CRC, and the CRC of its first mark->bytes.
  std::uint64_t plainSize = 0, skip = 0;
  std::uint32_t crc = 0;
  {
    ReadFn plain = files.openRead(plainPath, error);
    if (!plain) return fail("cannot read " + plainPath + ": " + error);
    std::vector<char> block(kBlock);
    for (;;) {
      std::size_t want = block.size();
      if (mark && plainSize < mark->bytes) want = static_cast<std::size_t>(std::min<std::uint64_t>(want, mark->bytes - plainSize));
      const std::ptrdiff_t n = plain(block.data(), want, error);
      if (n < 0) return fail("cannot read " + plainPath + ": " + error);
      if (n == 0) break;
      crc = crc32Of(crc, block.data(), static_cast<std::size_t>(n));
      plainSize += static_cast<std::uint64_t>(n);
      if (mark && plainSize == mark->bytes && crc == mark->crc) skip = plainSize;
    }
    if (mark && mark->bytes == 0) skip = 0;
  }
  if (hadGz && skip == plainSize) {
    r.alreadyIn = true;
    const std::unique_ptr<HeldFile> held = files.holdToRemove(plainPath, error);
    if (!held || !held->remove(error)) return fail("cannot remove " + plainPath + ": " + error);
    r.done = true;
    return r;
  }

  // 1. The new compressed file, under the part's name.
  {
    std::unique_ptr<NewFile> out = files.create(part, error);
    if (!out) return fail("cannot create " + part + ": " + error);
    Writer writer([&](const char* data, std::size_t size, std::string& e) { return out->write(data, size, e); },
                  PlainMark{plainSize, crc});
    Sources sources(files, gzPath, hadGz, plainPath, skip, plainSize);
    if (!sources.open(error)) return fail(error);
    std::vector<char> block(kBlock);
    for (;;) {
      bool earlier = false;
      const std::ptrdiff_t n = sources.read(block.data(), block.size(), earlier, error);
      if (n < 0) return fail(error);
      if (n == 0) break;
      const auto size = static_cast<std::size_t>(n);
      (earlier ? r.earlierBytes : r.plainBytes) += size;
      (earlier ? r.earlierRows : r.plainRows) += linesIn(block.data(), size);
      if (!writer.write(block.data(), size, error)) return fail("cannot write " + part + ": " + error);
    }
    if (!writer.finish(error)) return fail("cannot write " + part + ": " + error);
    if (!out->flushAndClose(error)) return fail("cannot write " + part + ": " + error);
    r.compressedBytes = writer.bytesOut();
  }

  // 2. Read back, compared with the sources read again.
  {
    ReadFn raw = files.openRead(part, error);
    if (!raw) return fail("cannot read back " + part + ": " + error);
    Reader back(std::move(raw));
    Sources sources(files, gzPath, hadGz, plainPath, skip, plainSize);
    if (!sources.open(error)) return fail(error);
    std::vector<char> want(kBlock), got(kBlock);
    std::uint64_t bytes = 0, rows = 0;
    for (;;) {
      bool earlier = false;
      const std::ptrdiff_t n = sources.read(want.data(), want.size(), earlier, error);
      if (n < 0) return fail(error);
      std::size_t have = 0;
      while (have < static_cast<std::size_t>(n)) {
        const std::ptrdiff_t m = back.read(got.data() + have, static_cast<std::size_t>(n) - have, error);
        if (m < 0) return fail("reading back " + part + ": " + error);
        if (m == 0) break;
        have += static_cast<std::size_t>(m);
      }
      if (have != static_cast<std::size_t>(n) || std::memcmp(want.data(), got.data(), have) != 0)
        return fail("reading back " + part + " gave other bytes than its sources near byte " + std::to_string(bytes));
      if (n == 0) {
        if (back.read(got.data(), got.size(), error) != 0) return fail("reading back " + part + " gave more bytes than its sources");
        break;
      }
      bytes += have;
      rows += linesIn(got.data(), have);
    }
    if (bytes != r.earlierBytes + r.plainBytes || rows != r.earlierRows + r.plainRows || back.members() != 1 ||
        back.mark() != PlainMark{plainSize, crc})
      return fail("reading back " + part + " gave other rows than were written");
  }

  // 3. Held, unless it grew meanwhile (its new rows go in next time), and in
  // place; 4. the plain file goes. A day is never left as both files.
  const std::unique_ptr<HeldFile> held = files.holdToRemove(plainPath, error);
  if (!held) return fail("cannot remove " + plainPath + ": " + error);
  std::uint64_t sizeNow = 0;
  if (!files.size(plainPath, sizeNow, error)) return fail("cannot read " + plainPath + ": " + error);
  if (sizeNow != plainSize) return fail(plainPath + " grew while it was compressed; its new rows are added next time");
  if (!files.replace(part, gzPath, error)) return fail("cannot rename " + part + " to " + gzPath + ": " + error);
  if (!held->remove(error)) return fail("cannot remove " + plainPath + ": " + error);
  r.done = true;
  return r;
}

}  // namespace orv::gzip
