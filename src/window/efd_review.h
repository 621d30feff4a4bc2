// The window's "Confrontar com EFD…": the COTEPE files of the workbench set
// against the EFD ICMS/IPI files the auditor chose, without any widget. The Qt
// tab "EFD" only shows an EfdReview; tests drive the same paths without Qt.
//
// The COTEPE files are validated as "Validar Arquivo Texto" validates them (each
// log written beside its file), what each recorded gathered on the way; the EFD
// files are read, and each compared with the ECFs as tavex-cli efd compares them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "efd/efd_comparison.h"
#include "jobs/worker_job.h"
#include "port/user_interface.h"

namespace tavex {

// One divergence of the review: comparison, ECF and divergence indices.
struct EfdRow {
  std::size_t comparison = 0, ecf = 0, divergence = 0;
};

// What one comparison gives the window. Movable: the comparisons point into the
// EFD files, which stay where they are when the review moves.
struct EfdReview {
  std::vector<std::string> cotepeFiles;            // as given (UTF-8 paths)
  std::vector<std::unique_ptr<EfdFile>> efdFiles;  // every EFD chosen, read or not
  std::vector<EfdComparison> comparisons;          // of the EFD files read, in their order
  std::vector<std::string> problems;               // cp1252, "<file>: <reason>" or "<file>, linha N: <reason>"
  std::int64_t toleranceCents = 0;
  std::vector<EfdRow> rows;  // every divergence, in the comparisons' order
  // The text of each row's EFD line (cp1252, at most kEfdLineShown bytes, then "…");
  // empty when the row names no line.
  std::vector<std::string> efdLineTexts;

  const EfdComparison& comparison(const EfdRow& row) const { return comparisons[row.comparison]; }
  const EfdEcfComparison& ecf(const EfdRow& row) const { return comparisons[row.comparison].ecfs[row.ecf]; }
  const EfdDivergence& divergence(const EfdRow& row) const { return ecf(row).divergences[row.divergence]; }
  std::size_t alerts() const;
  std::size_t informations() const { return rows.size() - alerts(); }
};

// The longest part of an EFD line a review keeps for showing.
inline constexpr std::size_t kEfdLineShown = 2000;

// Which rows the "EFD" tab lists: of one level (or both) and whose sentence, code,
// ECF serial or EFD line holds a search text (ignoring case).
struct EfdRowQuery {
  int level = -1;      // -1 both, 0 alerts, 1 information
  std::string search;  // cp1252; empty: every row
  bool accepts(const EfdReview& review, std::size_t row) const;
};

// The indices of the rows `query` accepts, in the review's order.
std::vector<std::size_t> selectEfdRows(const EfdReview& review, const EfdRowQuery& query);

// The comparison itself, safe on any thread: `cotepe` validated (their messages
// and unreadable files become problems) within `logToleranceCents` (the tolerance
// their logs were written with before, so a log is written again the same;
// nothing: `toleranceCents`), `efd` read, each EFD read compared within
// `toleranceCents`. `control` (may be null) gets the progress, by file; a
// cancellation asked is seen between two files: nothing then (the files already
// validated keep their logs).
std::optional<EfdReview> reviewEfd(const std::vector<std::string>& cotepe, const std::vector<std::string>& efd,
                                   std::int64_t toleranceCents, WorkerControl* control = nullptr,
                                   std::optional<std::int64_t> logToleranceCents = std::nullopt);

// The texts of `lines` (ascending, each > 0) of the file at `path`, read once and
// only up to the last of them: each without its line end, a line longer than
// kEfdLineShown cut there and ended with "…" (cp1252). Lines the file lacks are absent.
std::map<int, std::string> readLinesOf(const std::string& path, const std::vector<int>& lines);

// The window's side: the chooser, the tolerance, the worker, the last review.
class EfdWorkbench {
 public:
  explicit EfdWorkbench(UserInterface& ui) : ui_(ui) {}

  enum class Outcome { Shown, Cancelled, NotRun };

  // "Confrontar com EFD…": `cotepeFile` (the validated file, or the one open; may
  // be empty) and the files chosen (several at once: the EFD files, recognised by
  // their first line "|0000|", and any other COTEPE file of the same ECFs) are
  // compared on `job`'s worker behind the progress display, the tolerance read
  // from `toleranceText` as --tolerancia reads it. Shown: `last` holds the new
  // review. NotRun: the chooser
  // cancelled, no EFD or no COTEPE file among the files, a tolerance refused (each
  // but the first with a message), or a worker that could not start; Cancelled:
  // the user stopped it. Either way the previous review stays. `logToleranceCents`:
  // the tolerance `cotepeFile` was last validated with, its log written again with it.
  Outcome confront(WorkerJob& job, const std::string& cotepeFile, const std::string& toleranceText,
                   std::optional<std::int64_t> logToleranceCents = std::nullopt);
  // The problems of `last` (files or lines that could not be read), the first ten
  // in one message; nothing when it has none. Told once the new review is shown.
  void tellProblems();

  std::optional<EfdReview> last;

 private:
  UserInterface& ui_;
};

}  // namespace tavex
