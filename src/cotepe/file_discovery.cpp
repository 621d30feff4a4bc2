#include "cotepe/file_discovery.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <utility>

#include "cotepe/text.h"

namespace tavex {

namespace fs = std::filesystem;

namespace {

enum class Probe { Cotepe, Efd, Other, Unreadable };

Probe probe(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return Probe::Unreadable;
  char head[6] = {};
  const std::size_t n = std::fread(head, 1, sizeof head, f);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return Probe::Unreadable;
  if (n >= 3 && head[0] == 'E' && head[1] == '0' && head[2] == '1') return Probe::Cotepe;
  return n == 6 && std::string_view(head, 6) == "|0000|" ? Probe::Efd : Probe::Other;
}

class Collector {
 public:
  Collector(DiscoveredFiles& out, bool withEfd) : out_(out), withEfd_(withEfd) {}

  bool withEfd() const { return withEfd_; }
  // Adds a file unless the same file (device and inode) is already listed.
  void add(const std::string& path, bool efd = false) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !seen_.insert({st.st_dev, st.st_ino}).second) return;
    (efd ? out_.efdFiles : out_.files).push_back(path);
  }
  void problem(const std::string& path, DiscoveryProblem::Reason reason) { out_.problems.push_back({path, reason}); }

 private:
  DiscoveredFiles& out_;
  bool withEfd_;
  std::set<std::pair<dev_t, ino_t>> seen_;
};

// A probed file: listed when it is a COTEPE file, reported when it cannot be read.
// Another kind of file is a problem only when the user named it: not every file
// in a folder is a COTEPE file.
void take(Collector& collector, const std::string& path, Probe kind, bool namedByUser) {
  switch (kind) {
    case Probe::Cotepe:
      collector.add(path);
      break;
    case Probe::Unreadable:
      collector.problem(path, DiscoveryProblem::Reason::Unreadable);
      break;
    case Probe::Efd:
      if (collector.withEfd()) {
        collector.add(path, /*efd=*/true);
        break;
      }
      [[fallthrough]];
    case Probe::Other:
      if (namedByUser)
        collector.problem(path, collector.withEfd() ? DiscoveryProblem::Reason::NeitherCotepeNorEfd
                                                    : DiscoveryProblem::Reason::NotCotepe);
      break;
  }
}

void searchFolder(const std::string& folder, Collector& collector) {
  std::vector<std::string> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, ec);
  if (ec) {
    collector.problem(folder, DiscoveryProblem::Reason::Unreadable);
    return;
  }
  for (const fs::recursive_directory_iterator end; it != end;) {
    const fs::directory_entry entry = *it;
    std::error_code typeError;
    if (entry.is_regular_file(typeError)) {
      found.push_back(entry.path().string());
    } else if (entry.is_directory(typeError) && !entry.is_symlink(typeError)) {
      // A subfolder that cannot be listed is reported; the search goes on beside it.
      std::error_code openError;
      fs::directory_iterator probeDir(entry.path(), openError);
      if (openError) {
        collector.problem(entry.path().string(), DiscoveryProblem::Reason::Unreadable);
        it.disable_recursion_pending();
      }
    }
    it.increment(ec);
    if (ec) {
      // The listing broke off (the folder vanished, say): report it and keep what was found.
      collector.problem(entry.path().string(), DiscoveryProblem::Reason::Unreadable);
      break;
    }
  }
  std::sort(found.begin(), found.end());
  for (const std::string& path : found) take(collector, path, probe(path), /*namedByUser=*/false);
}

}  // namespace

bool looksLikeCotepeFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && probe(path) == Probe::Cotepe;
}

namespace {

DiscoveredFiles discover(const std::vector<std::string>& paths, bool withEfd) {
  DiscoveredFiles out;
  Collector collector(out, withEfd);
  for (const std::string& path : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
      collector.problem(path, ec && ec != std::errc::no_such_file_or_directory ? DiscoveryProblem::Reason::Unreadable
                                                                                : DiscoveryProblem::Reason::Missing);
    } else if (fs::is_directory(status)) {
      searchFolder(path, collector);
    } else {
      take(collector, path, fs::is_regular_file(status) ? probe(path) : Probe::Other, /*namedByUser=*/true);
    }
  }
  return out;
}

}  // namespace

DiscoveredFiles discoverCotepeFiles(const std::vector<std::string>& paths) { return discover(paths, false); }

DiscoveredFiles discoverCotepeAndEfdFiles(const std::vector<std::string>& paths) { return discover(paths, true); }

std::string describeProblem(const DiscoveryProblem& problem) {
  const char* reason = "";
  switch (problem.reason) {
    case DiscoveryProblem::Reason::Missing:
      reason = "não encontrado"_cp;
      break;
    case DiscoveryProblem::Reason::Unreadable:
      reason = "não pode ser lido"_cp;
      break;
    case DiscoveryProblem::Reason::NotCotepe:
      reason = "não é um arquivo COTEPE (a primeira linha não começa com E01)"_cp;
      break;
    case DiscoveryProblem::Reason::NeitherCotepeNorEfd:
      reason = "não é um arquivo COTEPE (a primeira linha não começa com E01) nem uma EFD (|0000|)"_cp;
      break;
  }
  return problem.path + ": " + reason;
}

}  // namespace tavex
