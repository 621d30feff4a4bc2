// Temporary folders and whole-file helpers for tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tavex::testing {

// A fresh folder under the system's temporary folder, removed with its contents
// when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Joins records with CR LF after each.
std::string joinLines(const std::vector<std::string>& lines, const std::string& eol = "\r\n");

// The path of a file kept beside the tests (tests/<relative>).
std::string testDataPath(const std::string& relative);

// Compares `actual` with the golden file tests/<relative>. When TAVEX_UPDATE_GOLDEN
// is set in the environment the golden file is (re)written instead.
void expectMatchesGolden(const std::string& actual, const std::string& relative);

}  // namespace tavex::testing
