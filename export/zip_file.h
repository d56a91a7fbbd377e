// A zip archive of one file, compressed with deflate as it is written: the
// lines go in through a small buffer, so a day of any size takes the same
// memory. Written under a temporary name, put in place by the caller
// (putInPlace) once the whole run is done.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "export/out_file.h"

namespace orv::exporter {

class ZipFile {
 public:
  ZipFile();
  ~ZipFile();
  ZipFile(const ZipFile&) = delete;
  ZipFile& operator=(const ZipFile&) = delete;

  // Starts the archive at path with one entry named entryName, dated
  // (year, month, day) at midnight. False with the reason in error.
  bool open(const std::string& path, const std::string& entryName, int year, unsigned month, unsigned day,
            std::string& error);
  bool isOpen() const noexcept { return out_.isOpen(); }
  void append(std::string_view text);
  // Ends the archive, its temporary file settled; false with the reason in error.
  bool close(std::string& error);
  void abandon() noexcept;

 private:
  void deflateBuffered(bool finish);

  struct Stream;
  std::unique_ptr<Stream> stream_;
  OutFile out_;
  std::string entryName_;
  std::string pending_;
  std::uint32_t crc_ = 0;
  std::uint64_t size_ = 0;
  std::uint64_t compressed_ = 0;
  std::uint16_t dosTime_ = 0, dosDate_ = 0;
  bool failed_ = false;
};

}  // namespace orv::exporter
