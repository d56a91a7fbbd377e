#include "report/page_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "report/page.h"
#include "report/texts.h"
#include "recordings/files.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace orv::report {

using recordings::openFile;
using recordings::pathOf;

namespace {

int processId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

}  // namespace

bool startsWithPage(const std::string& path, std::string_view titleStart) {
  std::FILE* f = openFile(path, "rb");
  if (f == nullptr) return false;
  char head[1024];
  const std::size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  const std::string_view text(head, n);
  return text.starts_with(kPageStart) && text.find("<title>" + std::string(titleStart)) != std::string_view::npos;
}

std::string whyNotWritePage(const std::string& page, const std::vector<std::string>& inputs, const PageWriter& writer) {
  for (const std::string& input : inputs)
    if (input == page || (input != "-" && recordings::sameFile(input, page)))
      return "--html " + quoted(page, 400) + " is one of " + std::string(writer.inputs) +
             "; the page needs a name of its own";
  if (recordings::fileExists(page) && !startsWithPage(page, writer.titleStart))
    return "--html " + quoted(page, 400) + " exists and is not a page " + std::string(writer.program) +
           " wrote; give another name";
  return {};
}

bool writeWholeFile(const std::string& path, const std::string& text, std::string& error) {
  // Written whole under a name of its own first: the file at path is either
  // as it was or the new one, never half of either.
  const std::string temporary = path + ".orvalda-page-" + std::to_string(processId()) + ".tmp";
  std::FILE* f = openFile(temporary, "wb");
  if (f == nullptr) {
    error = "cannot write " + quoted(path, 400) + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const int savedErrno = errno;
  std::error_code renamed;
  if (std::fclose(f) != 0 || !written) {
    error = "cannot write " + quoted(path, 400) + ": " + std::strerror(written ? errno : savedErrno);
  } else {
    std::filesystem::rename(pathOf(temporary), pathOf(path), renamed);
    if (!renamed) return true;
    error = "cannot put the page in place as " + quoted(path, 400) + ": " + renamed.message();
  }
  std::error_code ignored;
  std::filesystem::remove(pathOf(temporary), ignored);
  return false;
}

}  // namespace orv::report
