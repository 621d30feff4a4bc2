// The platform layer on Linux (and other POSIX systems).
#include "platform/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace tavex::platform {

namespace {

void fill(const struct stat& st, FileInfo& info) {
  info.regular = S_ISREG(st.st_mode);
  info.directory = S_ISDIR(st.st_mode);
  info.link = S_ISLNK(st.st_mode);
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.device = static_cast<std::uint64_t>(st.st_dev);
  info.inode = static_cast<std::uint64_t>(st.st_ino);
  info.links = static_cast<std::uint64_t>(st.st_nlink);
  info.modified = static_cast<std::int64_t>(st.st_mtime);
  info.mode = static_cast<unsigned>(st.st_mode & 07777);
  info.owner = static_cast<unsigned>(st.st_uid);
  info.group = static_cast<unsigned>(st.st_gid);
}

}  // namespace

int openFile(const std::string& path, unsigned flags) {
  int mode = O_CLOEXEC;
  switch (flags & kReadWrite) {
    case kWrite: mode |= O_WRONLY; break;
    case kReadWrite: mode |= O_RDWR; break;
    default: mode |= O_RDONLY; break;
  }
  if (flags & kCreate) mode |= O_CREAT;
  if (flags & kExclusive) mode |= O_EXCL;
  if (flags & kAppend) mode |= O_APPEND;
  if (flags & kNoFollow) mode |= O_NOFOLLOW;
  if (flags & kNonBlocking) mode |= O_NONBLOCK;
  if (flags & kDirectory) mode |= O_DIRECTORY;
  return ::open(path.c_str(), mode, 0666);
}

int closeFile(int fd) { return ::close(fd); }

std::int64_t writeFile(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }

std::int64_t writeGathered(int fd, const iovec* parts, int count) { return ::writev(fd, parts, count); }

std::int64_t readAt(int fd, void* to, std::size_t size, std::uint64_t offset) {
  return ::pread(fd, to, size, static_cast<off_t>(offset));
}

std::int64_t readLine(char** buffer, std::size_t* capacity, std::FILE* f) { return ::getline(buffer, capacity, f); }

int createTempFile(std::string& name, int suffixLength) { return ::mkostemps(name.data(), suffixLength, O_CLOEXEC); }

void clearNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK); }

int syncFile(int fd) { return ::fsync(fd); }

bool pathInfo(const std::string& path, FileInfo& info) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  fill(st, info);
  return true;
}

bool targetInfo(const std::string& path, FileInfo& info) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  fill(st, info);
  return true;
}

bool descriptorInfo(int fd, FileInfo& info) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  fill(st, info);
  return true;
}

bool mayWrite(const std::string& path) { return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0; }

int copyOwnerAndMode(int fd, const FileInfo& like) {
  // Owner and group first: giving them away clears the set-id bits the mode restores.
  if (::fchown(fd, like.owner, like.group) != 0 && ::fchown(fd, static_cast<uid_t>(-1), like.group) != 0) {
    // Not permitted: the file stays this user's, as any file this user writes.
  }
  return ::fchmod(fd, like.mode & 07777) != 0 ? errno : 0;
}

LockResult lockExclusive(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? LockResult::Busy : LockResult::Unavailable;
  }
  return LockResult::Locked;
}

int removeFile(const std::string& path) { return ::unlink(path.c_str()); }

int renameFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()); }

int makeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777); }

int namelessTempFile(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {  // no O_TMPFILE here
    std::string name = folder + "/tavex-json-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
  }
  return fd;
}

char* allocateBlock(std::size_t size) {
  constexpr std::size_t kHugePage = 2u << 20;
  char* p = static_cast<char*>(std::aligned_alloc(kHugePage, size));
  if (p != nullptr) ::madvise(p, size, MADV_HUGEPAGE);  // a hint only: refused, the block works all the same
  return p;
}

void freeBlock(char* block) { std::free(block); }

void* loadLibrary(const std::string& path, std::string* error) {
  // dlopen searches the system's paths for a name without "/"; an explicit "./" stops that.
  std::string explicitPath = path;
  if (explicitPath.find('/') == std::string::npos) explicitPath = "./" + explicitPath;
  void* handle = ::dlopen(explicitPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr && error != nullptr) {
    const char* why = ::dlerror();
    *error = why != nullptr ? why : "dlopen failed";
  }
  return handle;
}

void* librarySymbol(void* library, const char* name) {
  ::dlerror();
  return ::dlsym(library, name);
}

void unloadLibrary(void* library) { ::dlclose(library); }

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kStops = 3;

}  // namespace

struct InterruptHook::State {
  int count = 1;
  struct sigaction previous[kStops] {};
  bool installed[kStops] = {};
};

InterruptHook::InterruptHook(bool allStops, Handler handler) : state_(new State) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  state_->count = allStops ? kStops : 1;
  if (allStops)
    for (const int s : kStopSignals) sigaddset(&action.sa_mask, s);  // one handler at a time
  for (int i = 0; i < state_->count; ++i)
    state_->installed[i] = ::sigaction(kStopSignals[i], &action, &state_->previous[i]) == 0;
}

InterruptHook::~InterruptHook() {
  for (int i = 0; i < state_->count; ++i)
    if (state_->installed[i]) ::sigaction(kStopSignals[i], &state_->previous[i], nullptr);
  delete state_;
}

void endAsInterrupted(int signal) {
  struct sigaction usual {};
  usual.sa_handler = SIG_DFL;
  sigemptyset(&usual.sa_mask);
  ::sigaction(signal, &usual, nullptr);
  ::raise(signal);  // delivered as the handler returns
}

void prepareStandardStreams() {}

void ignoreFileSizeLimit() { ::signal(SIGXFSZ, SIG_IGN); }

struct HeldInterruptions::State {
  sigset_t held{};
  sigset_t previous{};
};

HeldInterruptions::HeldInterruptions() : state_(new State) {
  sigemptyset(&state_->held);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&state_->held, s);
  ::pthread_sigmask(SIG_BLOCK, &state_->held, &state_->previous);
}

HeldInterruptions::~HeldInterruptions() {
  ::pthread_sigmask(SIG_SETMASK, &state_->previous, nullptr);
  delete state_;
}

bool HeldInterruptions::came() const {
  sigset_t waiting;
  if (::sigpending(&waiting) != 0) return false;
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
    if (sigismember(&waiting, s) == 1) return true;
  return false;
}

bool HeldInterruptions::take() {
  bool came = false;
  const timespec now{};
  while (::sigtimedwait(&state_->held, nullptr, &now) > 0) came = true;
  return came;
}

}  // namespace tavex::platform
