// What the file-level fuzz targets share: a scratch folder of the process, the
// input written as a file in it, and the checks of whole output lines.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace tavex::fuzz {

// A folder of this process under the temporary folder, emptied on every call.
inline std::filesystem::path freshScratch(const char* name) {
  static const std::filesystem::path base =
      std::filesystem::temp_directory_path() / ("tavex-fuzz-" + std::to_string(::getpid()));
  const std::filesystem::path dir = base / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::string writeInput(const std::filesystem::path& dir, const std::uint8_t* data, std::size_t size) {
  const std::string path = (dir / "ecf.txt").string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

inline std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every LF preceded by CR and the text, when not empty, ended by CR LF.
inline bool wholeCrLfLines(std::string_view text) {
  if (text.empty()) return true;
  if (!text.ends_with("\r\n")) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  return true;
}

}  // namespace tavex::fuzz
