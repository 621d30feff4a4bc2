// The folder the browser workbench serves: which of its files the pages list, and
// the only way a name sent by a browser becomes a path. A name is relative to the
// folder, written with "/", and names a regular file that is inside the folder
// once every symbolic link is followed; anything else is refused before the file
// system sees it (empty, absolute, "." or "..", a backslash, a control byte, a
// device name such as "CON" or "nul.txt", a link leading out of the folder).
//
// Thread-safe: it holds only the folder's canonical path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavex::server {

// What the list shows of a file before it is validated: its E01 (texts UTF-8).
struct ListedFile {
  std::string name;    // relative to the folder, "/" between folders
  std::uintmax_t size = 0;
  std::string serial;  // NUMERO_FABRICACAO, trimmed
  std::string kind;    // "MF", "MFD", "TDM", "RZ" or empty
  std::string period;  // "DD/MM/AAAA a DD/MM/AAAA" or empty
};

class ServedFolder {
 public:
  // `folder` must exist; its canonical path is taken now.
  explicit ServedFolder(const std::string& folder);

  const std::string& root() const { return root_; }

  // The path of the existing regular file `name` names, or nothing when refused.
  std::optional<std::string> fileOf(std::string_view name) const;
  // The path a new file `name` (a plain name, no folder) gets in the folder, or
  // nothing when the name is refused or something that is no regular file (a
  // link, a folder, a device) stands there already.
  std::optional<std::string> newFileOf(std::string_view name) const;

  // The COTEPE files of the folder and its subfolders, sorted by name.
  std::vector<ListedFile> list() const;

 private:
  std::string root_;
};

// True when `name` may name a file of the served folder (the syntactic rules above).
bool acceptableName(std::string_view name);

}  // namespace tavex::server
