// The platform layer on Windows: wide-character file APIs behind C runtime
// descriptors (the rest of the program reads and writes those as on Linux).
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <mutex>
#include <vector>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>

namespace tavex::platform {

namespace {

std::wstring widePath(const std::string& path) {
  if (path.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
  return wide;
}

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_INVALID_NAME: return EINVAL;
    default: return EIO;
  }
}

void failWith(DWORD error) { errno = errnoOf(error); }

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

std::int64_t unixSeconds(const FILETIME& time) {
  const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
}

bool fill(HANDLE handle, FileInfo& info) {
  BY_HANDLE_FILE_INFORMATION data{};
  if (!::GetFileInformationByHandle(handle, &data)) {
    failWith(::GetLastError());
    return false;
  }
  const DWORD attributes = data.dwFileAttributes;
  info.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  info.directory = !info.link && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // A handle opened for its attributes only may not know its type: devices and pipes
  // say theirs.
  const DWORD type = ::GetFileType(handle);
  info.regular = !info.link && !info.directory && type != FILE_TYPE_CHAR && type != FILE_TYPE_PIPE;
  info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  info.device = data.dwVolumeSerialNumber;
  info.inode = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
  info.links = data.nNumberOfLinks;
  info.modified = unixSeconds(data.ftLastWriteTime);
  info.mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444u : 0666u;
  return true;
}

}  // namespace

int openFile(const std::string& path, unsigned flags) {
  DWORD access = 0;
  if ((flags & kReadWrite) != kWrite) access |= GENERIC_READ;
  if (flags & kWrite) access |= (flags & kAppend) ? FILE_APPEND_DATA : GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  if ((flags & kCreate) && (flags & kExclusive))
    disposition = CREATE_NEW;
  else if (flags & kCreate)
    disposition = OPEN_ALWAYS;
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (flags & kNoFollow) attributes |= FILE_FLAG_OPEN_REPARSE_POINT;
  if (flags & kDirectory) attributes |= FILE_FLAG_BACKUP_SEMANTICS;
  // Others may read, write, rename and remove the file meanwhile, as on Linux.
  const HANDLE handle = ::CreateFileW(widePath(path).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      disposition, attributes, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    failWith(error);
    // A folder opened as a file.
    if (error == ERROR_ACCESS_DENIED && !(flags & kDirectory)) {
      const DWORD found = ::GetFileAttributesW(widePath(path).c_str());
      if (found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY)) errno = EISDIR;
    }
    return -1;
  }
  FileInfo info;
  if ((flags & (kNoFollow | kDirectory)) && fill(handle, info)) {
    if ((flags & kNoFollow) && info.link) {
      ::CloseHandle(handle);
      errno = ELOOP;
      return -1;
    }
    if ((flags & kDirectory) && !info.directory) {
      ::CloseHandle(handle);
      errno = ENOTDIR;
      return -1;
    }
  }
  int mode = _O_BINARY | _O_NOINHERIT;
  if ((flags & kReadWrite) == kRead) mode |= _O_RDONLY;
  if (flags & kAppend) mode |= _O_APPEND;
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), mode);
  if (fd < 0) {
    ::CloseHandle(handle);
    errno = EMFILE;
  }
  return fd;
}

int closeFile(int fd) { return ::_close(fd); }

std::int64_t writeFile(int fd, const char* data, std::size_t size) {
  const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
  return ::_write(fd, data, chunk);
}

std::int64_t writeGathered(int fd, const iovec* parts, int count) {
  std::int64_t total = 0;
  for (int i = 0; i < count; ++i) {
    const char* data = static_cast<const char*>(parts[i].iov_base);
    for (std::size_t at = 0; at < parts[i].iov_len;) {
      const std::int64_t n = writeFile(fd, data + at, parts[i].iov_len - at);
      if (n <= 0) return total > 0 ? total : n;
      at += static_cast<std::size_t>(n);
      total += n;
    }
  }
  return total;
}

std::int64_t readAt(int fd, void* to, std::size_t size, std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD wanted = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  DWORD got = 0;
  if (::ReadFile(handleOf(fd), to, wanted, &got, &at)) return got;
  const DWORD error = ::GetLastError();
  if (error == ERROR_HANDLE_EOF) return 0;
  failWith(error);
  return -1;
}

std::int64_t readLine(char** buffer, std::size_t* capacity, std::FILE* f) {
  std::size_t length = 0;
  for (;;) {
    const int c = std::getc(f);
    if (c == EOF) break;
    if (*buffer == nullptr || length + 2 > *capacity) {
      const std::size_t grown = *capacity < 120 ? 120 : *capacity * 2;
      char* bigger = static_cast<char*>(std::realloc(*buffer, grown));
      if (bigger == nullptr) {
        errno = ENOMEM;
        return -1;
      }
      *buffer = bigger;
      *capacity = grown;
    }
    (*buffer)[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (length == 0) return -1;
  (*buffer)[length] = '\0';
  return static_cast<std::int64_t>(length);
}

int createTempFile(std::string& name, int suffixLength) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const std::size_t end = name.size() - static_cast<std::size_t>(suffixLength);
  if (suffixLength < 0 || end < 6 || name.compare(end - 6, 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return -1;
  }
  std::random_device seed;
  std::mt19937 pick(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = end - 6; i < end; ++i) name[i] = kLetters[pick() % (sizeof kLetters - 1)];
    const int fd = openFile(name, kReadWrite | kCreate | kExclusive | kNoFollow);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

void clearNonBlocking(int) {}

int syncFile(int fd) {
  if (::FlushFileBuffers(handleOf(fd))) return 0;
  failWith(::GetLastError());
  return -1;
}

namespace {

bool infoOfPath(const std::string& path, FileInfo& info, DWORD flags) {
  const HANDLE handle = ::CreateFileW(widePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    failWith(::GetLastError());
    return false;
  }
  const bool known = fill(handle, info);
  ::CloseHandle(handle);
  return known;
}

}  // namespace

bool pathInfo(const std::string& path, FileInfo& info) { return infoOfPath(path, info, FILE_FLAG_OPEN_REPARSE_POINT); }

bool targetInfo(const std::string& path, FileInfo& info) { return infoOfPath(path, info, 0); }

bool descriptorInfo(int fd, FileInfo& info) {
  const HANDLE handle = handleOf(fd);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return false;
  }
  return fill(handle, info);
}

bool mayWrite(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    failWith(::GetLastError());
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    errno = EACCES;
    return false;
  }
  return true;
}

int copyOwnerAndMode(int, const FileInfo&) {
  // A new file takes the folder's permissions; a read-only target is refused before.
  return 0;
}

LockResult lockExclusive(int fd) {
  // Windows locks bytes against every other reader and writer: one byte far past any
  // data is locked, so the lock says "taken" and keeps nobody from the contents.
  OVERLAPPED past{};
  past.Offset = 0xFFFFFFFEu;
  past.OffsetHigh = 0x7FFFFFFFu;
  if (::LockFileEx(handleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &past))
    return LockResult::Locked;
  const DWORD error = ::GetLastError();
  return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockResult::Busy : LockResult::Unavailable;
}

int removeFile(const std::string& path) {
  if (::DeleteFileW(widePath(path).c_str())) return 0;
  failWith(::GetLastError());
  return -1;
}

namespace {

// Renames over a target another handle holds open (the log a run keeps locked), as
// POSIX does: FileRenameInfoEx with POSIX semantics (Windows 10 and later).
bool renameOverOpenFile(const std::wstring& from, const std::wstring& to) {
  const HANDLE handle = ::CreateFileW(from.c_str(), DELETE | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const DWORD length = ::GetFullPathNameW(to.c_str(), 0, nullptr, nullptr);
  std::wstring full(length, L'\0');
  const DWORD written = ::GetFullPathNameW(to.c_str(), length, full.data(), nullptr);
  full.resize(written);
  full = L"\\??\\" + full;
  struct Rename {
    DWORD flags;
    HANDLE root;
    DWORD nameBytes;
    WCHAR name[1];
  };
  std::vector<unsigned char> buffer(sizeof(Rename) + full.size() * sizeof(WCHAR));
  Rename* info = reinterpret_cast<Rename*>(buffer.data());
  info->flags = 0x1 | 0x2;  // replace if it exists, POSIX semantics
  info->root = nullptr;
  info->nameBytes = static_cast<DWORD>(full.size() * sizeof(WCHAR));
  std::copy(full.begin(), full.end(), info->name);
  const bool renamed = ::SetFileInformationByHandle(handle, static_cast<FILE_INFO_BY_HANDLE_CLASS>(22), info,
                                                    static_cast<DWORD>(buffer.size())) != 0;
  ::CloseHandle(handle);
  return renamed;
}

}  // namespace

int renameFile(const std::string& from, const std::string& to) {
  const std::wstring source = widePath(from), target = widePath(to);
  if (renameOverOpenFile(source, target)) return 0;
  if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  DWORD error = ::GetLastError();
  // A target held open (shared for deletion) cannot be replaced, but it can be moved
  // aside: the new file takes the name, the old one goes when its last handle closes.
  if (error == ERROR_ACCESS_DENIED) {
    for (int index = 0; index < 64; ++index) {
      const std::wstring aside = target + L".tavex-old-" + std::to_wstring(index);
      if (!::MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
        if (::GetLastError() == ERROR_ALREADY_EXISTS || ::GetLastError() == ERROR_FILE_EXISTS) continue;
        break;
      }
      if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(aside.c_str());
        return 0;
      }
      error = ::GetLastError();
      ::MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);  // the old file back
      break;
    }
  }
  failWith(error);
  return -1;
}

int makeFolder(const std::string& path) {
  if (::CreateDirectoryW(widePath(path).c_str(), nullptr)) return 0;
  failWith(::GetLastError());
  return -1;
}

int namelessTempFile(const std::string& folder) {
  std::string name = folder + "/tavex-json-XXXXXX";
  const int fd = createTempFile(name, 0);
  // Removed while open (others share the deletion): the name goes now, the data at the close.
  if (fd >= 0) removeFile(name);
  return fd;
}

char* allocateBlock(std::size_t size) { return static_cast<char*>(::_aligned_malloc(size, 2u << 20)); }

void freeBlock(char* block) { ::_aligned_free(block); }

void* loadLibrary(const std::string& path, std::string* error) {
  // Only the named file: the folder of the library first for its own dependencies,
  // never the current folder or PATH for the library itself.
  const HMODULE module = ::LoadLibraryExW(widePath(path).c_str(), nullptr,
                                          LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  if (module == nullptr && error != nullptr) *error = "LoadLibrary: erro " + std::to_string(::GetLastError());
  return reinterpret_cast<void*>(module);
}

void* librarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(void* library) { ::FreeLibrary(static_cast<HMODULE>(library)); }

namespace {

std::atomic<int> heldCount{0};
std::atomic<bool> interrupted{false};

BOOL WINAPI holdInterruption(DWORD) {
  if (heldCount.load() == 0) return FALSE;  // the default: the process ends
  interrupted = true;
  return TRUE;
}

}  // namespace

namespace {

// The hooks installed, the latest last; the console's thread calls that one.
std::mutex hooksMutex;
std::vector<std::pair<bool, InterruptHook::Handler>> hooks;
std::mutex handlerRunning;  // one handler call at a time

BOOL WINAPI callHook(DWORD event) {
  InterruptHook::Handler handler = nullptr;
  {
    const std::lock_guard<std::mutex> lock(hooksMutex);
    for (auto it = hooks.rbegin(); it != hooks.rend() && handler == nullptr; ++it)
      if (it->first || event == CTRL_C_EVENT) handler = it->second;
  }
  if (handler == nullptr) return FALSE;
  const std::lock_guard<std::mutex> once(handlerRunning);
  handler(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
  return TRUE;
}

}  // namespace

struct InterruptHook::State {
  std::pair<bool, Handler> hook;
};

InterruptHook::InterruptHook(bool allStops, Handler handler) : state_(new State{{allStops, handler}}) {
  const std::lock_guard<std::mutex> lock(hooksMutex);
  if (hooks.empty()) ::SetConsoleCtrlHandler(callHook, TRUE);
  hooks.push_back(state_->hook);
}

InterruptHook::~InterruptHook() {
  {
    const std::lock_guard<std::mutex> lock(hooksMutex);
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
      if (*it == state_->hook) {
        hooks.erase(std::next(it).base());
        break;
      }
    if (hooks.empty()) ::SetConsoleCtrlHandler(callHook, FALSE);
  }
  delete state_;
}

void endAsInterrupted(int) { ::ExitProcess(STATUS_CONTROL_C_EXIT); }

void prepareStandardStreams() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
}

void ignoreFileSizeLimit() {}

struct HeldInterruptions::State {};

HeldInterruptions::HeldInterruptions() : state_(nullptr) {
  if (heldCount.fetch_add(1) == 0) ::SetConsoleCtrlHandler(holdInterruption, TRUE);
}

HeldInterruptions::~HeldInterruptions() {
  if (heldCount.fetch_sub(1) == 1) ::SetConsoleCtrlHandler(holdInterruption, FALSE);
  if (interrupted.exchange(false)) std::_Exit(130);  // delivered now, as the unblocked signal would be
}

bool HeldInterruptions::came() const { return interrupted.load(); }

bool HeldInterruptions::take() { return interrupted.exchange(false); }

}  // namespace tavex::platform
