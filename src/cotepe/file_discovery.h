// Which COTEPE files a list of paths names, for commands that take many files and
// folders at once (batch validation, the PostgreSQL load).
//
// Files given by name and files found in folders are recognised by content: a
// regular file whose first line begins with "E01", whatever its extension. The
// answer keeps the order of the arguments; a folder contributes its COTEPE files
// found recursively, sorted by path (symbolic links to folders are not followed).
// A file met twice (given twice, under two paths, or also inside a given folder)
// is listed once, where it first appeared. Nothing is thrown: every entry that
// cannot be read is reported in `problems` and the rest goes on.
#pragma once

#include <string>
#include <vector>

namespace tavex {

struct DiscoveryProblem {
  enum class Reason {
    Missing,     // the path given does not exist
    Unreadable,  // a file or folder that cannot be opened or listed
    NotCotepe,   // a file given by name whose first line does not begin with "E01"
    NeitherCotepeNorEfd,  // the same, when EFD files are looked for too
  };
  std::string path;
  Reason reason;
};

struct DiscoveredFiles {
  std::vector<std::string> files;  // paths as given or as found below a given folder
  std::vector<std::string> efdFiles;  // EFD files, when they were looked for
  std::vector<DiscoveryProblem> problems;
};

DiscoveredFiles discoverCotepeFiles(const std::vector<std::string>& paths);
// The same, EFD ICMS/IPI files (first line beginning "|0000|") listed apart in
// `efdFiles`, by name and in folders alike.
DiscoveredFiles discoverCotepeAndEfdFiles(const std::vector<std::string>& paths);

// The problem as the user reads it (cp1252): "<path>: <reason>".
std::string describeProblem(const DiscoveryProblem& problem);

// True when `path` is a regular file whose first three bytes are "E01". False
// also when it cannot be read.
bool looksLikeCotepeFile(const std::string& path);

}  // namespace tavex
