// How the program opens the files it creates and keeps two runs apart.
//
// A file the program creates, truncates or appends to is never opened through a
// symbolic link standing as the last component of its path (folders on the way
// may be links); a device or a pipe under that name is refused too. Runs that
// write the same files take an advisory lock (flock, exclusive, not waiting) on
// what they write: the validation its log, the CSV export and the split the
// folder they write into. A second run finds the lock taken and stops with a
// message; nothing it would have written is touched.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cotepe/text.h"

namespace tavex {

// The messages of these refusals (cp1252, "%s" the path in cp1252).
inline constexpr const char* kNotRegularInput = "O arquivo selecionado não é um arquivo regular e não pode ser lido."_cp;
inline constexpr const char* kSymlinkRefused =
    "O arquivo %s é um link simbólico. Por segurança, ele não foi gravado."_cp;
inline constexpr const char* kNotRegularOutput =
    "O arquivo %s não é um arquivo regular. Por segurança, ele não foi gravado."_cp;
inline constexpr const char* kFileInUse = "O arquivo %s está em uso por outro processo."_cp;
inline constexpr const char* kFolderInUse = "A pasta %s está em uso por outro processo."_cp;
inline constexpr const char* kReadOnlyOutput =
    "O arquivo %s é somente leitura. Ele não foi gravado; libere a gravação para substituí-lo."_cp;
inline constexpr const char* kHardLinkSplit =
    "O arquivo %s tinha outros nomes (links físicos): só este nome recebeu o novo conteúdo; os outros "
    "continuam com o anterior."_cp;

enum class OutputMode {
  Reuse,      // created when missing, kept as it is when present (the caller truncates under its lock)
  CreateNew,  // must not exist yet
  Append,     // must exist; written at its end
};

// ReadOnly: a file nobody may write (no write permission bit at all, which holds
// for root too) or that this user may not write; only WholeFileWriter says it.
enum class OutputError { None, Symlink, Exists, NotRegular, ReadOnly, Other };

struct OutputFile {
  int fd = -1;  // open for writing (close-on-exec), or -1
  OutputError error = OutputError::None;
  int systemError = 0;  // errno of a failed open
};

// Opens `path` for writing as `mode` says, refusing a symlink as its last
// component and anything but a regular file. The caller owns the descriptor.
OutputFile openOutputFile(const std::string& path, OutputMode mode);

struct InputFile {
  int fd = -1;              // open for reading (close-on-exec), or -1
  bool notRegular = false;  // refused as a pipe, a device or a socket (a folder is not found)
  std::uint64_t size = 0;   // its size when opened
};

// Opens `path` for reading, a regular file only. A pipe without a writer does not
// hold the open, and nothing is read before the file is known to be regular. The
// caller owns the descriptor.
InputFile openInputFile(const std::string& path);

// An exclusive advisory lock held until the object goes.
class FileLock {
 public:
  enum class Result { Locked, Busy, Unavailable };  // Unavailable: could not open or lock (no lock held)

  FileLock() = default;
  ~FileLock() { release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Locks the folder `path` (its own entry, not a file inside it).
  Result lockFolder(const std::string& path);
  // Locks the open file `fd` (the caller keeps the descriptor open as long as the lock).
  static Result lockDescriptor(int fd);
  void release();

 private:
  int fd_ = -1;
};

// The message of an OutputError for `path` (UTF-8 path), or empty for Other/None/Exists.
std::string outputRefusalMessage(OutputError error, const std::string& path);
// The notice of a rewrite that split a hard link (WholeFileResult::splitHardLink),
// for `path` (UTF-8 path); cp1252.
std::string hardLinkSplitMessage(const std::string& path);

// Why a file operation failed, in the user's words (cp1252, no final period):
// "disco cheio", "sem permissão de gravação"... from its errno; the system's own
// text for a reason without words of ours.
std::string systemReason(int error);

// The line added under a failure's message to name its cause (cp1252):
// "Motivo: <systemReason>.", or empty when `error` is 0.
std::string reasonLine(int error);

struct WholeFileResult {
  OutputError refusal = OutputError::None;  // Symlink, NotRegular or ReadOnly: the target was refused
  int systemError = 0;                      // errno of the failed step, when not refused
  bool splitHardLink = false;  // written, but the target had other names, which keep the old bytes
  bool ok() const { return refusal == OutputError::None && systemError == 0; }
};

// A file written whole or not at all, in as many pieces as its writer likes: the
// bytes go to a new temporary file beside `path`, which replaces `path` (rename)
// only once all of them are written, flushed to the disk and the file is closed
// (finish). The temporary file (".NAME.tavex-N.tmp") never outlives a failure nor
// an object dropped without finish(); one left by a killed process is removed by
// the next writer of the same target (each is locked by its writer while it lives).
//
// The target is refused at the start when it is a symbolic link, no regular file,
// or read-only (see OutputError::ReadOnly). An existing target keeps its mode and,
// where this process may give them, its owner and group; a target with other hard
// links is replaced under this name only (splitHardLink says so). When the name no
// longer holds the file found at the start by the time of the rename (someone
// replaced it meanwhile), nothing is replaced and systemError is ESTALE.
class WholeFileWriter {
 public:
  explicit WholeFileWriter(const std::string& path);
  ~WholeFileWriter();
  WholeFileWriter(const WholeFileWriter&) = delete;
  WholeFileWriter& operator=(const WholeFileWriter&) = delete;

  // False once something failed (the start included); later writes are dropped.
  bool good() const { return result_.ok(); }
  // The errno of the first failure so far (0 when none, or when refused).
  int systemError() const { return result_.systemError; }
  // Why the target was refused at the start (None when it was not).
  OutputError refusal() const { return result_.refusal; }
  void write(std::string_view bytes);
  // Closes and renames: the outcome of the whole file.
  WholeFileResult finish();

 private:
  void discard();

  std::string path_, temp_;
  int fd_ = -1;
  bool existed_ = false;
  std::uint64_t device_ = 0, inode_ = 0;  // the target found at the start
  WholeFileResult result_;
};

// Writes `content` as the whole of `path` (a WholeFileWriter of one piece).
WholeFileResult writeWholeFile(const std::string& path, std::string_view content);

}  // namespace tavex
