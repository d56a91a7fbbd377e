// File names: UTF-8 inside, the system's own form at the edge.
#pragma once

#include <filesystem>
#include <string>

namespace orv::exporter {

std::filesystem::path pathOf(const std::string& utf8);
std::string utf8Of(const std::filesystem::path& path);

}  // namespace orv::exporter
