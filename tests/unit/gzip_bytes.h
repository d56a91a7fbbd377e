// gzip in memory, for tests: bytes compressed as one member, and read back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "gzip/gzip_stream.h"

namespace orv::test {

inline gzip::ReadFn readerOf(std::string bytes) {
  std::size_t at = 0;
  return [bytes, at](char* out, std::size_t size, std::string&) mutable -> std::ptrdiff_t {
    const std::size_t n = std::min(size, bytes.size() - at);
    bytes.copy(out, n, at);
    at += n;
    return static_cast<std::ptrdiff_t>(n);
  };
}

inline std::string gzipped(const std::string& text, std::optional<gzip::PlainMark> mark = std::nullopt) {
  std::string out, error;
  gzip::Writer w([&](const char* d, std::size_t n, std::string&) { return out.append(d, n), true; }, mark);
  EXPECT_TRUE(w.write(text.data(), text.size(), error) && w.finish(error)) << error;
  return out;
}

}  // namespace orv::test
