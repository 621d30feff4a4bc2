#include "window/validated_file.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

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

namespace {

// The SHA-256 of `path`; nothing when it cannot be read to the end or `stop` is set.
std::optional<std::string> hashOf(const std::string& path, const std::atomic<bool>& stop) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return std::nullopt;
  Sha256 hash;
  std::vector<unsigned char> buffer(std::size_t{1} << 20);
  std::size_t n;
  while (!stop.load(std::memory_order_relaxed) && (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
    hash.add(buffer.data(), n);
  const bool failed = std::ferror(f) != 0 || stop.load(std::memory_order_relaxed);
  std::fclose(f);
  if (failed) return std::nullopt;
  return hash.hex();
}

}  // namespace

struct ValidatedFile::Hashing {
  std::atomic<bool> stop{false};
  std::string sha256;  // written by the thread, read after it is joined
  std::thread thread;
};

ValidatedFile::ValidatedFile() = default;

ValidatedFile::ValidatedFile(std::string path, FileStamp stamp)
    : path_(std::move(path)), stamp_(stamp), hashing_(std::make_unique<Hashing>()) {
  Hashing* h = hashing_.get();
  h->thread = std::thread([h, path = path_, stamp] {
    std::optional<std::string> hash = hashOf(path, h->stop);
    // The same stamp after the read as before the validation: no write came between.
    if (hash && stampOf(path) == stamp) h->sha256 = std::move(*hash);
  });
}

ValidatedFile::ValidatedFile(ValidatedFile&&) noexcept = default;

ValidatedFile& ValidatedFile::operator=(ValidatedFile&& other) noexcept {
  if (this == &other) return *this;
  stopHashing();
  path_ = std::move(other.path_);
  stamp_ = other.stamp_;
  hashing_ = std::move(other.hashing_);
  checked_ = other.checked_;
  checkedSame_ = other.checkedSame_;
  return *this;
}

ValidatedFile::~ValidatedFile() { stopHashing(); }

void ValidatedFile::stopHashing() {
  if (hashing_ && hashing_->thread.joinable()) {
    hashing_->stop.store(true, std::memory_order_relaxed);
    hashing_->thread.join();
  }
}

const std::string& ValidatedFile::sha256() {
  static const std::string none;
  if (!hashing_) return none;
  if (hashing_->thread.joinable()) hashing_->thread.join();
  return hashing_->sha256;
}

bool ValidatedFile::unchanged() {
  if (path_.empty()) return false;
  const std::optional<FileStamp> now = stampOf(path_);
  if (!now || now->size != stamp_.size) return false;
  if (*now == stamp_) return true;
  // Rewritten with the same size (a corrected record, perhaps with its old time put
  // back): only the contents tell.
  if (sha256().empty()) return false;
  if (checked_ != now) {
    const std::atomic<bool> go{false};
    const std::optional<std::string> hash = hashOf(path_, go);
    if (!hash) return false;  // unreadable now: asked again next time
    checked_ = now;
    checkedSame_ = *hash == sha256();
  }
  return checkedSame_;
}

}  // namespace tavex
