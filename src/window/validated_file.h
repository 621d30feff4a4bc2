// The file a validation read, remembered by its size, times and SHA-256, so that
// the window can tell afterwards whether the file on disk is still the one its
// findings speak of (a file corrected and saved under the same name is not).
//
// The hash is taken on a thread of its own once the validation has read the file
// (hashing 30 MB takes longer than validating it); a ValidatedFile is otherwise
// used from one thread at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
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
  ValidatedFile();
  // `path` as validated, with `stamp` taken before the run read it; its hash is
  // taken now on a thread of its own. Bytes hashed under another stamp than that
  // one are not what the run read: the contents are then unknown, and the file
  // never reads as unchanged.
  ValidatedFile(std::string path, FileStamp stamp);
  ValidatedFile(ValidatedFile&&) noexcept;
  ValidatedFile& operator=(ValidatedFile&&) noexcept;
  ~ValidatedFile();  // stops the hashing, at its next megabyte

  const std::string& path() const { return path_; }

  // Whether the file at path() still holds the validated bytes. The validated stamp
  // answers at once; another size means changed; the same size with other times is
  // settled by the hashes (waiting for the validated one, and reading the file once
  // per stamp seen). False when the file is gone or cannot be read, and for a
  // default-made ValidatedFile.
  bool unchanged();
  // The SHA-256 of the validated bytes (hexadecimal; empty when unknown), once hashed.
  const std::string& sha256();

 private:
  struct Hashing;
  void stopHashing();
  std::string path_;
  FileStamp stamp_;
  std::unique_ptr<Hashing> hashing_;
  std::optional<FileStamp> checked_;  // the last stamp settled by reading the file
  bool checkedSame_ = false;
};

}  // namespace tavex
