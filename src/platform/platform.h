#pragma once

// The operating system under the core and the command line: files by descriptor,
// their status, locks, renames. One implementation per system: platform_posix.cpp
// (Linux) and platform_windows.cpp (wide-character Windows APIs; paths are UTF-8
// here and converted there). Failures answer -1 or false and leave the reason in
// errno, with the POSIX codes on every system.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#ifdef _WIN32
// The parts of one gathered write, as POSIX names them.
struct iovec {
  void* iov_base;
  std::size_t iov_len;
};
#else
#include <sys/uio.h>
#endif

// Codes the Windows runtime lacks (a file replaced under its name, a disk quota).
#ifndef ESTALE
#define ESTALE 116
#endif
#ifndef EDQUOT
#define EDQUOT 122
#endif

namespace tavex::platform {

// How openFile opens a path (bits of one value).
enum OpenFlags : unsigned {
  kRead = 1u,            // read only
  kWrite = 2u,           // write only
  kReadWrite = 3u,       // both
  kCreate = 4u,          // created when missing (0666 less the umask on POSIX)
  kExclusive = 8u,       // with kCreate: fails with EEXIST when the name exists
  kAppend = 16u,         // every write at the end
  kNoFollow = 32u,       // a link (a reparse point on Windows) as the last name fails with ELOOP
  kNonBlocking = 64u,    // a pipe without its other end does not hold the open
  kDirectory = 128u,     // the path must be a folder (ENOTDIR otherwise)
};

// Opens `path` (UTF-8); the descriptor is not inherited by child processes.
// Answers the descriptor or -1 (errno set).
int openFile(const std::string& path, unsigned flags);
// Closes a descriptor of openFile; answers 0 or -1 (errno set).
int closeFile(int fd);
// Writes some of `size` bytes; answers how many, or -1 (errno set).
std::int64_t writeFile(int fd, const char* data, std::size_t size);
// Writes the parts in order, as one write where the system has it; answers the
// bytes written, or -1 (errno set).
std::int64_t writeGathered(int fd, const iovec* parts, int count);
// Reads up to `size` bytes at `offset` without moving the descriptor's position;
// answers how many, or -1 (errno set).
std::int64_t readAt(int fd, void* to, std::size_t size, std::uint64_t offset);
// Reads a line with its end into *buffer (grown with malloc as needed), as POSIX
// getline; answers its length, or -1 at the end or on an error.
std::int64_t readLine(char** buffer, std::size_t* capacity, std::FILE* f);
// Creates a new file whose name is `name` with the six X before its last
// `suffixLength` characters replaced (mkstemps), exclusively; `name` becomes its
// name. Answers the descriptor (read and write) or -1 (errno set).
int createTempFile(std::string& name, int suffixLength);
// Clears kNonBlocking of an open descriptor.
void clearNonBlocking(int fd);
// Forces the written bytes of `fd` to the device; 0 or -1 (errno set).
int syncFile(int fd);

// What the system tells of a file. `device` and `inode` together name it.
struct FileInfo {
  bool regular = false;
  bool directory = false;
  bool link = false;  // a symbolic link (a reparse point on Windows), not followed
  std::uint64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t links = 0;    // hard links to it
  std::int64_t modified = 0;  // seconds since 1970
  unsigned mode = 0;          // permission bits (07777 on POSIX; 0444 or 0666 on Windows)
  unsigned owner = 0;
  unsigned group = 0;
};

// The status of `path` itself (a link is not followed); false and errno when it fails.
bool pathInfo(const std::string& path, FileInfo& info);
// The status of what `path` names, links followed; false and errno when it fails.
bool targetInfo(const std::string& path, FileInfo& info);
// The status of an open descriptor; false and errno when it fails.
bool descriptorInfo(int fd, FileInfo& info);
// Whether this process may write `path` (the effective user's right); false and
// errno when not.
bool mayWrite(const std::string& path);

// Gives `fd` the owner, group and permission bits of `like` as far as this
// process may. Answers 0, or the errno of setting the permission bits.
int copyOwnerAndMode(int fd, const FileInfo& like);

enum class LockResult { Locked, Busy, Unavailable };
// An exclusive lock on the whole of `fd`, without waiting; it lasts until the
// last descriptor of the open file is closed.
LockResult lockExclusive(int fd);

// Removes a file; 0 or -1 (errno set).
int removeFile(const std::string& path);
// Renames `from` to `to`, replacing `to` at once when it exists; 0 or -1 (errno set).
int renameFile(const std::string& from, const std::string& to);

// Creates the folder `path` (0777 less the umask on POSIX); 0 or -1 (errno set).
int makeFolder(const std::string& path);
// A file with no name in `folder` (or one removed at once where the system cannot
// make such a file), read and write, gone when closed; -1 (errno set) when it
// cannot be made.
int namelessTempFile(const std::string& folder);

// A block of `size` bytes aligned to 2 MiB, offered to the system as huge pages
// where it has them; nullptr when there is no memory. Freed by freeBlock.
char* allocateBlock(std::size_t size);
void freeBlock(char* block);

// A shared library of a printer's manufacturer, loaded by path (never searched in
// the system's folders). loadLibrary answers nullptr and the reason when it fails.
void* loadLibrary(const std::string& path, std::string* error);
void* librarySymbol(void* library, const char* name);
void unloadLibrary(void* library);

// Calls `handler` when the user interrupts, until destroyed (then the previous
// handling is back): SIGINT only (Ctrl-C on Windows), or with `allStops` SIGINT,
// SIGTERM and SIGHUP (Ctrl-C, Ctrl-Break and closing the console), one handler
// call at a time. On POSIX the handler runs as a signal handler, so it may only do
// what one may; on Windows it runs on the console's own thread.
class InterruptHook {
 public:
  using Handler = void (*)(int signal);
  InterruptHook(bool allStops, Handler handler);
  ~InterruptHook();
  InterruptHook(const InterruptHook&) = delete;
  InterruptHook& operator=(const InterruptHook&) = delete;

 private:
  struct State;
  State* state_;
};
// From a handler: ends the process as `signal` would have without the handler
// (on POSIX as the handler returns).
void endAsInterrupted(int signal);
// Standard output and error as the program writes them: the same bytes on every
// system (no CR added on Windows, where the console shows UTF-8).
void prepareStandardStreams();
// A write past the file-size limit fails (EFBIG) instead of ending the process.
void ignoreFileSizeLimit();

// Holds back the interruptions of the user (SIGINT, SIGTERM, SIGHUP and SIGQUIT;
// Ctrl-C, Ctrl-Break and closing the console on Windows) while it lives.
class HeldInterruptions {
 public:
  HeldInterruptions();
  ~HeldInterruptions();
  HeldInterruptions(const HeldInterruptions&) = delete;
  HeldInterruptions& operator=(const HeldInterruptions&) = delete;
  // Whether one came (and waits).
  bool came() const;
  // Takes every one that came (it will not end the process): true when there was one.
  bool take();

 private:
  struct State;
  State* state_;
};

}  // namespace tavex::platform
