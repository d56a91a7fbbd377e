#include "compare/tick_stream.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <queue>
#include <system_error>

#include "recordings/files.h"
#include "recordings/row_source.h"

namespace orv::compare {

std::string pairKey(std::string_view written) {
  std::string key;
  for (char c : written) {
    if (c >= 'a' && c <= 'z') key += static_cast<char>(c - 'a' + 'A');
    else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) key += c;
  }
  return key.empty() ? std::string(written) : key;
}

namespace {

bool isRecordingName(const std::filesystem::path& path) {
  std::string name = recordings::utf8Of(path.filename());
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name.ends_with(".csv") || name.ends_with(".csv.gz");
}

// The bytes of an open file, for a line reader.
recordings::LineReader::ReadFn readerOf(std::FILE* file, const std::string& path) {
  return [file, path](char* buffer, std::size_t size, std::string& error) -> std::ptrdiff_t {
    const std::size_t got = std::fread(buffer, 1, size, file);
    if (got == 0 && std::ferror(file)) {
      error = "cannot read " + path + ": " + std::strerror(errno);
      return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
  };
}

}  // namespace

bool recordingsOf(const std::vector<std::string>& paths, std::vector<std::string>& files, std::string& error) {
  namespace fs = std::filesystem;
  for (const std::string& given : paths) {
    std::error_code ec;
    const fs::path path = recordings::pathOf(given);
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found || ec) {
      error = given + " does not exist";
      return false;
    }
    if (status.type() != fs::file_type::directory) {
      files.push_back(given);
      continue;
    }
    std::vector<std::string> found;
    for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
         it.increment(ec))
      if (it->is_regular_file(ec) && isRecordingName(it->path())) found.push_back(recordings::utf8Of(it->path()));
    if (ec) {
      error = "cannot read the folder " + given + ": " + ec.message();
      return false;
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return true;
}

struct TickStream::Impl {
  std::array<SideInput, kSides> inputs;
  std::unordered_map<std::string, std::string> pairMap;
  std::vector<PairSeen> pairs;
  std::unordered_map<std::string, std::uint32_t> pairIndex;
  std::array<SideSummary, kSides> sides;
  std::array<bool, kSides> anyRow{};

  struct Pending {
    int side = 0;
    std::string path;
    std::int64_t firstUtc = INT64_MIN;  // INT64_MIN: no row seen, read first to count its lines
  };
  std::vector<Pending> pending;  // in reading order
  std::size_t nextPending = 0;

  struct Open {
    std::FILE* file = nullptr;
    std::unique_ptr<recordings::RowSource> rows;
    zone::StampsToUtc clock;
    int side = 0;
    std::uint32_t index = 0;  // into sides[side].files
    std::int64_t previousUtc = INT64_MIN;
    Tick tick;
    std::string lastWritten;
    std::uint32_t lastPair = UINT32_MAX;
    Open(zone::Zone zone) : clock(std::move(zone)) {}
    ~Open() {
      if (file != nullptr) std::fclose(file);
    }
  };
  struct Later {
    bool operator()(const Open* a, const Open* b) const {
      if (a->tick.utcMs != b->tick.utcMs) return a->tick.utcMs > b->tick.utcMs;
      if (a->side != b->side) return a->side > b->side;
      return a->index > b->index;
    }
  };
  std::vector<std::unique_ptr<Open>> open;
  std::priority_queue<Open*, std::vector<Open*>, Later> heap;

  std::uint32_t pairOf(int side, std::string_view written) {
    std::string key = pairKey(written);
    if (side == 1)
      if (const auto mapped = pairMap.find(key); mapped != pairMap.end()) key = mapped->second;
    auto [it, added] = pairIndex.try_emplace(key, static_cast<std::uint32_t>(pairs.size()));
    if (added) pairs.push_back({key, {}});
    std::string& name = pairs[it->second].written[side];
    if (name.empty()) {
      name = std::string(written);
      sides[side].pairs.push_back(name);
    }
    return it->second;
  }

  // The first row's UTC stamp of a file, reading as little of it as it can.
  bool firstStamp(Pending& p, std::string& error) {
    std::FILE* file = recordings::openFile(p.path, "rb");
    if (file == nullptr) {
      error = "cannot open " + p.path + ": " + std::strerror(errno);
      return false;
    }
    recordings::RowSource rows(readerOf(file, p.path), 4096);
    recordings::SourceRow row;
    zone::StampsToUtc clock(inputs[p.side].clock);
    while (rows.next(row)) {
      std::int64_t utc = 0;
      if (row.fault == recordings::RowFault::None && clock.utcOf(row.stampMs, utc)) {
        p.firstUtc = utc;
        break;
      }
    }
    std::fclose(file);
    error = rows.error();
    return error.empty();
  }

  // Moves a file on to its next tick; false at its end.
  bool advance(Open& o, std::string& error) {
    recordings::SourceRow row;
    SideSummary& side = sides[o.side];
    while (o.rows->next(row)) {
      if (row.fault == recordings::RowFault::Header) continue;
      std::int64_t utc = 0;
      if (row.fault != recordings::RowFault::None || !o.clock.utcOf(row.stampMs, utc)) {
        ++side.unreadable;
        continue;
      }
      ++side.rows;
      if (utc < o.previousUtc) {
        if (side.backward.size() < kBackwardStampsKept) side.backward.push_back({side.files[o.index], row.line, utc, o.previousUtc});
        ++side.backwardCount;
        utc = o.previousUtc;  // kept in its place in the file
      }
      o.previousUtc = utc;
      if (o.lastPair == UINT32_MAX || row.pair != o.lastWritten) {
        o.lastWritten.assign(row.pair);
        o.lastPair = pairOf(o.side, row.pair);
      }
      if (!anyRow[o.side] || utc < side.firstUtcMs) side.firstUtcMs = utc;
      if (!anyRow[o.side] || utc > side.lastUtcMs) side.lastUtcMs = utc;
      anyRow[o.side] = true;
      o.tick = {o.side, o.lastPair, utc, row.bidPrice, row.askPrice, o.index, row.line};
      return true;
    }
    error = o.rows->error();
    return false;
  }

  bool openNext(std::string& error) {
    const Pending& p = pending[nextPending++];
    auto o = std::make_unique<Open>(inputs[p.side].clock);
    o->side = p.side;
    o->index = static_cast<std::uint32_t>(sides[p.side].files.size());
    sides[p.side].files.push_back(p.path);
    o->file = recordings::openFile(p.path, "rb");
    if (o->file == nullptr) {
      error = "cannot open " + p.path + ": " + std::strerror(errno);
      return false;
    }
    std::setvbuf(o->file, nullptr, _IONBF, 0);
    o->rows = std::make_unique<recordings::RowSource>(readerOf(o->file, p.path));
    if (advance(*o, error)) {
      heap.push(o.get());
      open.push_back(std::move(o));
    }
    return error.empty();
  }

  void close(Open* o) {
    const auto it = std::find_if(open.begin(), open.end(), [&](const auto& u) { return u.get() == o; });
    open.erase(it);
  }
};

TickStream::TickStream(std::array<SideInput, kSides> sides, std::unordered_map<std::string, std::string> pairMap)
    : impl_(std::make_unique<Impl>()) {
  impl_->inputs = std::move(sides);
  impl_->pairMap = std::move(pairMap);
}
TickStream::~TickStream() = default;

const std::vector<TickStream::PairSeen>& TickStream::pairs() const noexcept { return impl_->pairs; }
const std::array<SideSummary, kSides>& TickStream::sides() const noexcept { return impl_->sides; }

bool TickStream::open(std::string& error) {
  Impl& m = *impl_;
  for (int s = 0; s < kSides; ++s) {
    std::vector<std::string> files;
    if (!recordingsOf(m.inputs[s].paths, files, error)) return false;
    if (files.empty()) {
      error = std::string("side ") + (s == 0 ? "A" : "B") + " has no recording: no .csv or .csv.gz file in ";
      for (std::size_t i = 0; i < m.inputs[s].paths.size(); ++i) error += (i > 0 ? ", " : "") + m.inputs[s].paths[i];
      return false;
    }
    for (std::string& f : files) m.pending.push_back({s, std::move(f)});
  }
  for (Impl::Pending& p : m.pending)
    if (!m.firstStamp(p, error)) return false;
  std::stable_sort(m.pending.begin(), m.pending.end(), [](const Impl::Pending& a, const Impl::Pending& b) {
    return a.firstUtc != b.firstUtc ? a.firstUtc < b.firstUtc : a.side < b.side;
  });
  return true;
}

bool TickStream::next(Tick& tick, std::string& error) {
  Impl& m = *impl_;
  for (;;) {
    // Files whose first row comes before the earliest tick waiting are opened first.
    while (m.nextPending < m.pending.size() &&
           (m.heap.empty() || m.pending[m.nextPending].firstUtc <= m.heap.top()->tick.utcMs))
      if (!m.openNext(error)) return false;
    if (m.heap.empty()) return false;
    Impl::Open* o = m.heap.top();
    m.heap.pop();
    tick = o->tick;
    if (m.advance(*o, error))
      m.heap.push(o);
    else if (!error.empty())
      return false;
    else
      m.close(o);
    return true;
  }
}

}  // namespace orv::compare
