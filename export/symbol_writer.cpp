#include "export/symbol_writer.h"

#include "recordings/files.h"

namespace orv::exporter {

std::string join(const std::string& dir, const std::string& name) { return recordings::utf8Of(recordings::pathOf(dir) / recordings::pathOf(name)); }

std::string Place::file(const std::string& name, std::string& error) const {
  const std::string path = join(dir, name);
  for (const std::string& input : inputs)
    if (input != "-" && recordings::sameFile(input, path)) {
      error = "the output " + path + " would replace the input " + input;
      return {};
    }
  return path;
}

}  // namespace orv::exporter
