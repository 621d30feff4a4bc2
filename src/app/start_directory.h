// Where the window starts. The start directory holds the manufacturer catalogue
// (F/F.xml), the software houses' keys (SHouse/) and Manual_Tavex.pdf.
//
// A binary run from the build tree, or from a folder that already holds a
// catalogue, starts in the current folder. The installed binary started anywhere
// else (a desktop menu starts it in the home folder) starts in the user's data
// folder, $XDG_DATA_HOME/tavex or ~/.local/share/tavex, which it fills from the
// package's shared data on every start: what is missing is copied or linked in,
// nothing the user has there is ever overwritten. No Qt here.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace tavex::app {

// What the package installs for the start directory.
struct InstalledData {
  std::filesystem::path examples;  // a folder tree copied into the user's folder
  // Links made in the user's folder: name relative to it, target (the simulated
  // ECF library, the manual), so a package upgrade reaches every user.
  std::vector<std::pair<std::filesystem::path, std::filesystem::path>> links;
};

// True when `dir` holds a manufacturer folder F with F/F.xml, or a SHouse folder.
bool holdsStartData(const std::filesystem::path& dir);

// $XDG_DATA_HOME/tavex when that variable is an absolute path, else
// $HOME/.local/share/tavex; empty when neither variable helps.
std::filesystem::path userDataDirectory(const char* xdgDataHome, const char* home);

// Creates `dir` and copies in from `data` whatever is missing. Fails (false, `ec`
// set) only when `dir` cannot be created or a copy fails; existing entries stay.
bool fillUserDirectory(const std::filesystem::path& dir, const InstalledData& data, std::error_code& ec);

struct StartChoice {
  std::filesystem::path directory;
  std::string problem;  // why the user's folder could not be prepared (then `directory` is `current`)
};

// The start directory: `current` unless `installed` and `current` holds no start
// data, in which case the filled user data folder `userDir`.
StartChoice chooseStartDirectory(const std::filesystem::path& current, bool installed,
                                 const std::filesystem::path& userDir, const InstalledData& data);

}  // namespace tavex::app
