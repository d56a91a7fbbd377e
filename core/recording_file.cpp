#include "core/recording_file.h"

#include <algorithm>
#include <vector>

namespace orv {

namespace {

// Where the bytes after the last line end begin, reading back from the end
// in blocks: 0 when the file holds no line end. False when no line end is
// found within the longest cut row.
bool endOfLastWholeRow(RawFile& file, std::uint64_t size, std::uint64_t& end, std::string& error) {
  constexpr std::size_t kBlock = 64 * 1024;
  std::vector<char> block;
  std::uint64_t to = size;
  while (to > 0 && size - to < RecordingFile::kLongestCutRow) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, to));
    block.resize(n);
    if (!file.read(to - n, block.data(), n, error)) return false;
    for (std::size_t i = n; i > 0; --i)
      if (block[i - 1] == '\n') {
        end = to - n + i;
        return true;
      }
    to -= n;
  }
  if (to == 0) {
    end = 0;
    return true;
  }
  error = "it does not end with a whole row within its last " + std::to_string(RecordingFile::kLongestCutRow) + " bytes";
  return false;
}

// Holds a file's turn until the end of the scope.
struct Turn {
  RawFile& file;
  ~Turn() { file.endTurn(); }
};

}  // namespace

RecordingFile::RecordingFile(std::unique_ptr<RawFile> file, std::string path, std::uint64_t runStart)
    : file_(std::move(file)), path_(std::move(path)), runStart_(runStart) {}

RecordingFile::~RecordingFile() {
  std::string ignored;
  close(ignored);
}

std::unique_ptr<RecordingFile> RecordingFile::create(FileOpener& files, const std::string& path, std::string& error) {
  std::unique_ptr<RawFile> file = files.openFile(path, FileOpening::Empty, error);
  if (!file) return nullptr;
  return std::unique_ptr<RecordingFile>(new RecordingFile(std::move(file), path, 0));
}

std::unique_ptr<RecordingFile> RecordingFile::addTo(FileOpener& files, const std::string& path, std::string& cutTail,
                                                    std::string& error) {
  cutTail.clear();
  std::unique_ptr<RawFile> file = files.openFile(path, FileOpening::AddTo, error);
  if (!file) return nullptr;
  Turn turn{*file};
  file->takeTurn(RawFile::TurnFor::Adding);
  std::uint64_t size = 0, wholeEnd = 0;
  const auto look = [&] {
    if (!file->size(size, error) || !endOfLastWholeRow(*file, size, wholeEnd, error)) return false;
    if (wholeEnd == 0 && size > 0) {
      // Not one line end: a header without its own, or no recording at
      // all. Taking its bytes off could destroy what someone needs.
      error = "it holds no line end in its " + std::to_string(size) +
              " bytes, so it is no recording Orvalda can add to; it is left as it is";
      return false;
    }
    return true;
  };
  if (!look()) return nullptr;
  if (wholeEnd < size) {
    // Cut under the turn, looked at again: another writer neither adds nor
    // cuts between the look and the cut.
    if (!file->takeTurn(RawFile::TurnFor::CuttingBack)) {
      error = "it ends in a row cut off, which cannot be taken off safely while another program adds to it";
      return nullptr;
    }
    if (!look()) return nullptr;
    cutTail.resize(static_cast<std::size_t>(size - wholeEnd));
    if (!file->read(wholeEnd, cutTail.data(), cutTail.size(), error) || !file->truncate(wholeEnd, error))
      return nullptr;
    size = wholeEnd;
  }
  return std::unique_ptr<RecordingFile>(new RecordingFile(std::move(file), path, size));
}

bool RecordingFile::appendRow(std::string_view row, std::string& error) {
  if (file_ == nullptr) {
    error = "the file is closed";
    return false;
  }
  line_.assign(row);
  line_ += "\r\n";
  // Without the turn the row still goes; only a cut-back needs it.
  file_->takeTurn(RawFile::TurnFor::Adding);
  std::size_t written = 0;
  const bool ok = file_->append(line_.data(), line_.size(), written, error);
  if (ok)
    ++rows_;
  else if (file_->takeTurn(RawFile::TurnFor::CuttingBack))
    cutBackFailedWrite(written);
  file_->endTurn();
  return ok;
}

// What a failed write left is taken off, under the turn: no other writer
// adds meanwhile. The `written` bytes the system reported are taken off when
// they are still the file's end as written; when it reports none (some
// systems write part of a row and then report only the failure), the
// longest start of the row that ends the file right after a line end is.
// Nothing is taken off that is not this row's, nor anything from before
// this run.
void RecordingFile::cutBackFailedWrite(std::size_t written) {
  std::string ignored;
  std::uint64_t size = 0;
  if (!file_->size(size, ignored) || size <= runStart_) return;
  const std::size_t most = static_cast<std::size_t>(std::min<std::uint64_t>(line_.size() - 1, size - runStart_));
  const std::size_t readBack = std::min<std::uint64_t>(most + 1, size);  // with the byte before, when there is one
  std::string tail(readBack, '\0');
  if (!file_->read(size - readBack, tail.data(), readBack, ignored)) return;
  const std::string_view row(line_);
  for (std::size_t k = written > 0 ? std::min(written, most) : most; k > 0; --k) {
    const bool startsARow = written > 0 || size - k == runStart_ || tail[readBack - k - 1] == '\n';
    if (startsARow && std::string_view(tail).substr(readBack - k) == row.substr(0, k)) {
      file_->truncate(size - k, ignored);
      return;
    }
    if (written > 0) return;  // the reported bytes are not there as written: leave them
  }
}

bool RecordingFile::countLinesBefore(std::uint64_t mostBytes, std::uint64_t& lines, std::string& error) {
  lines = 0;
  if (runStart_ > mostBytes || file_ == nullptr) return false;
  constexpr std::size_t kBlock = 1 << 20;
  std::vector<char> block;
  for (std::uint64_t at = 0; at < runStart_; at += block.size()) {
    block.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, runStart_ - at)));
    if (!file_->read(at, block.data(), block.size(), error)) return false;
    lines += static_cast<std::uint64_t>(std::count(block.begin(), block.end(), '\n'));
  }
  return true;
}

bool RecordingFile::close(std::string& error) {
  if (file_ == nullptr) return true;
  const bool closed = file_->close(error);
  file_.reset();
  return closed;
}

}  // namespace orv
