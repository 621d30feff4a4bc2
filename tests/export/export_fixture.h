// Helpers shared by the conversion tests: sample inputs, a scripted session, a
// WorkerControl that cancels at a chosen record, the current directory kept.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "export/conversion.h"
#include "support/files.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {

// Asks to cancel from the `cancelAt`-th check on (1-based): the conversion checks
// once before each line, so cancelAt = k stops it before line k.
class CancelAtCheck : public WorkerControl {
 public:
  explicit CancelAtCheck(int cancelAt) : cancelAt_(cancelAt) {}
  bool cancelRequested() const override { return ++checks_ >= cancelAt_; }
  void setProgress(int) override {}
  void notify(WorkerNotice notice) override { notices.push_back(std::move(notice)); }
  std::vector<WorkerNotice> notices;

 private:
  int cancelAt_;
  mutable int checks_ = 0;
};

// Keeps the current directory of the test process and puts it back.
class KeepCurrentDirectory {
 public:
  KeepCurrentDirectory() : saved_(std::filesystem::current_path()) {}
  ~KeepCurrentDirectory() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

// A window's worth of state for a conversion command.
struct SessionFixture {
  WorkerJob job;
  std::string currentFile;
  ConversionSession session{job, currentFile, ""};
};

// Every file of `folder`, sorted by name, as "### name\n" followed by its bytes.
inline std::string folderListing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& n : names) out += "### " + n + "\n" + readFile((folder / n).string());
  return out;
}

// True when the split left a temporary file ("ctp_file*") in `folder`.
inline bool hasTemporaryFile(const std::filesystem::path& folder) {
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().filename().string().starts_with("ctp_file")) return true;
  return false;
}

// True when every line of `text` ends with CR LF and no bytes follow the last one.
inline bool allLinesWhole(const std::string& text) {
  if (text.empty()) return true;
  if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n") return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  return true;
}

}  // namespace tavex::testing
