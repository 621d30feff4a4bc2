// The file a validation read, remembered by its size, times and SHA-256, so that
// the window can tell afterwards whether the file on disk is still the one its
// findings speak of (a file corrected and saved under the same name is not).
//
// Not thread-safe: made on the thread that validates, then used from one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tavex {

// What the file system says of a file without reading it: its size, the time its
// contents changed, the time its entry changed (which no program sets back) and
// its identity. Equal stamps: the same contents, short of a forged clock.
struct FileStamp {
  std::uintmax_t size = 0;
  std::filesystem::file_time_type modified{};
  std::int64_t statusChanged = 0;  // nanoseconds (whole seconds where the system gives no more)
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of `path`; nothing when it cannot be had (no such file, no access).
std::optional<FileStamp> stampOf(const std::string& path);

class ValidatedFile {
 public:
  ValidatedFile() = default;
  // `path` as validated, its stamp before the run, and the SHA-256 (hexadecimal)
  // of the bytes the run read; an empty hash means the contents are not known (the
  // file changed while it was read): such a file never reads as unchanged.
  ValidatedFile(std::string path, FileStamp stamp, std::string sha256)
      : path_(std::move(path)), stamp_(stamp), sha256_(std::move(sha256)) {}

  const std::string& path() const { return path_; }
  const FileStamp& stamp() const { return stamp_; }
  const std::string& sha256() const { return sha256_; }

  // Whether the file at path() still holds the validated bytes. The validated stamp
  // answers at once; another size means changed; the same size with other times is
  // settled by the file's hash, read once per stamp seen. False when the file is
  // gone or cannot be read, and for a default-made ValidatedFile.
  bool unchanged();

 private:
  std::string path_;
  FileStamp stamp_;
  std::string sha256_;
  std::optional<FileStamp> checked_;  // the last stamp settled by reading the file
  bool checkedSame_ = false;
};

}  // namespace tavex
