#include "app/start_directory.h"

namespace fs = std::filesystem;

namespace tavex::app {

namespace {

bool present(const fs::path& p) {
  std::error_code ec;
  return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

// Copies the tree under `from` into `to`, entry by entry, leaving what exists.
bool copyMissing(const fs::path& from, const fs::path& to, std::error_code& ec) {
  if (!fs::create_directories(to, ec) && ec) return false;
  fs::directory_iterator it(from, ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path target = to / it->path().filename();
    if (it->is_directory(ec)) {
      if (!copyMissing(it->path(), target, ec)) return false;
    } else if (!present(target)) {
      if (!fs::copy_file(it->path(), target, ec)) return false;
    }
  }
  return !ec;
}

}  // namespace

bool holdsStartData(const fs::path& dir) {
  std::error_code ec;
  if (fs::is_directory(dir / "SHouse", ec)) return true;
  fs::directory_iterator it(dir, ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path name = it->path().filename();
    if (it->is_directory(ec) && fs::is_regular_file(it->path() / name.string().append(".xml"), ec)) return true;
  }
  return false;
}

fs::path userDataDirectory(const char* xdgDataHome, const char* home) {
  // The XDG base directory rules ignore a relative XDG_DATA_HOME.
  if (xdgDataHome != nullptr && fs::path(xdgDataHome).is_absolute()) return fs::path(xdgDataHome) / "tavex";
  if (home != nullptr && *home != '\0') return fs::path(home) / ".local" / "share" / "tavex";
  return {};
}

bool fillUserDirectory(const fs::path& dir, const InstalledData& data, std::error_code& ec) {
  ec.clear();
  if (fs::is_directory(data.examples, ec)) {
    if (!copyMissing(data.examples, dir, ec)) return false;
  } else if (!fs::create_directories(dir, ec) && ec) {
    return false;
  }
  for (const auto& [name, target] : data.links) {
    const fs::path link = dir / name;
    if (present(link)) continue;
    std::error_code ignored;
    fs::create_directories(link.parent_path(), ignored);
    fs::create_symlink(target, link, ignored);  // a missing link only costs that feature
  }
  return true;
}

StartChoice chooseStartDirectory(const fs::path& current, bool installed, const fs::path& userDir,
                                 const InstalledData& data) {
  if (!installed || holdsStartData(current)) return {current, {}};
  if (userDir.empty()) return {current, "HOME e XDG_DATA_HOME não estão definidas"};
  std::error_code ec;
  if (!fillUserDirectory(userDir, data, ec)) return {current, userDir.string() + ": " + ec.message()};
  return {userDir, {}};
}

}  // namespace tavex::app
