// The two validations of a COTEPE file. Both write their findings to the log
// beside the file (its path followed by ".log") and tell the user through `ui`
// only when they cannot run: an empty path, a file that cannot be opened or read
// (or is no regular file), a log that cannot be created or written, or is a
// symbolic link, or is in use by another run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "ui/user_interface.h"

namespace tavex {

struct ValidationOptions {
  ValidationOptions() = default;
  explicit ValidationOptions(std::string day) : today(std::move(day)) {}

  std::string today;  // AAAAMMDD of the run; empty: the local clock's date
  // Receives the log's text as it is written (cp1252, CR LF), nothing unwritten.
  std::function<void(std::string_view)> echo;
};

struct ValidationSummary {
  bool ran = false;  // the whole file was read and the whole log written
  int errors = 0;
  int warnings = 0;
};

// The full run: structural and size scans, every record check, the totals
// cross-checks within `toleranceCents` (>= 0).
ValidationSummary validateCotepeFile(UserInterface& ui, const std::string& path, std::int64_t toleranceCents,
                                     const ValidationOptions& options = {});

// The format-only run: lengths and field formats of every record, nothing else.
ValidationSummary validateCotepeFileQuick(UserInterface& ui, const std::string& path,
                                          const ValidationOptions& options = {});

// The local date as AAAAMMDD.
std::string localToday();

}  // namespace tavex
