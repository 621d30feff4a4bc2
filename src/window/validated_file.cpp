#include "window/validated_file.h"

#include <sys/stat.h>

#include "cotepe/br_format.h"

namespace tavex {

std::optional<FileStamp> stampOf(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  std::error_code ec;
  const std::filesystem::file_time_type modified = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  FileStamp stamp;
  stamp.size = static_cast<std::uintmax_t>(st.st_size);
  stamp.modified = modified;
#ifdef __linux__
  stamp.statusChanged = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
#else
  stamp.statusChanged = static_cast<std::int64_t>(st.st_ctime) * 1000000000;
#endif
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.inode = static_cast<std::uint64_t>(st.st_ino);
  return stamp;
}

bool ValidatedFile::unchanged() {
  if (path_.empty() || sha256_.empty()) return false;
  const std::optional<FileStamp> now = stampOf(path_);
  if (!now || now->size != stamp_.size) return false;
  if (*now == stamp_) return true;
  // Rewritten with the same size (a corrected record, perhaps with its old time put
  // back): only the contents tell.
  if (checked_ != now) {
    const std::optional<std::string> hash = sha256HexOfFile(path_);
    if (!hash) return false;  // unreadable now: asked again next time
    checked_ = now;
    checkedSame_ = *hash == sha256_;
  }
  return checkedSame_;
}

}  // namespace tavex
