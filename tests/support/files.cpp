#include "support/files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <unistd.h>

namespace tavex::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  path_ = fs::temp_directory_path() /
          ("tavex-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + std::to_string(rd()));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore permissions a test may have taken away, so the folder can go.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string joinLines(const std::vector<std::string>& lines, const std::string& eol) {
  std::string out;
  for (const std::string& line : lines) out += line + eol;
  return out;
}

std::string testDataPath(const std::string& relative) { return std::string(TAVEX_TEST_DATA_DIR) + "/" + relative; }

void expectMatchesGolden(const std::string& actual, const std::string& relative) {
  const std::string path = testDataPath(relative);
  if (std::getenv("TAVEX_UPDATE_GOLDEN") != nullptr) {
    fs::create_directories(fs::path(path).parent_path());
    writeFile(path, actual);
    return;
  }
  ASSERT_TRUE(fs::exists(path)) << "golden file missing: " << relative;
  EXPECT_EQ(readFile(path), actual) << "differs from golden file " << relative;
}

}  // namespace tavex::testing
