// The main window's model: its values (a WindowState, owned here) and the commands
// that belong to the window itself ("Ler Registro Salvo", the window's side of
// validation), without any widget. The Qt window shows these values and binds its
// controls to them, and hands the same WindowState to the printer commands; tests
// drive them through a scripted UserInterface.
//
// Used from the user-interface thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "indicators/indicator.h"
#include "jobs/worker_job.h"
#include "port/user_interface.h"
#include "port/window_state.h"
#include "validation/validate.h"
#include "window/validated_file.h"

namespace tavex {

// The largest file "Ler Registro Salvo" shows.
inline constexpr std::uintmax_t kMaxShownFileBytes = 30000000;

// "%08.8d - " numbered pieces of at most 1499 characters, each ending at a line
// feed (dropped) or at the limit, every piece followed by CR LF; CR LF in the file
// reads as one line feed. With `numbered` false the pieces are not numbered.
std::string numberedPieces(const std::string& bytes, bool numbered);

// The same pieces as offsets into the bytes, for a view that numbers them itself
// (piece i is number i + 1) instead of holding the whole numbered text.
struct Piece {
  std::size_t offset = 0;
  std::size_t length = 0;
};
std::vector<Piece> pieceIndex(const std::string& bytes);

// A file as "Ler Registro Salvo" shows it: its bytes and their pieces.
struct ShownFile {
  std::string bytes;
  std::vector<Piece> pieces;
  std::string_view piece(std::size_t i) const { return std::string_view(bytes).substr(pieces[i].offset, pieces[i].length); }
};

// How a validation asked from the window ended.
enum class WindowValidation {
  Shown,      // its results replaced the previous ones
  Cancelled,  // the user cancelled it: the previous results stay
  NotRun,     // refused (a tolerance not read) or unable to start (its message shown): the previous results stay
};

class MainDialog {
 public:
  MainDialog(UserInterface& ui, std::string startDirectory);

  // The port names of "Porta:", in the order the sorted list shows them.
  static std::vector<std::string> portNames();

  // "Ler Registro Salvo": choose a text file of at most 30,000,000 bytes and show it
  // with numbered lines; it becomes the current COTEPE file. shownFile holds it
  // indexed; outputText gets its numbered text only when numberedTextInOutput.
  // True when a file was read; cancelling the chooser, or a file refused or
  // unreadable, leaves the current file and what is shown as they were.
  bool openSavedCotepeFile();
  // Its second half for a file already chosen (e.g. dropped on the window): the
  // limit and its message, then the file shown and made current. False when not
  // (nothing changed then).
  bool openCotepeFile(const std::string& path);

  // "Validar Arquivo Texto" (full) and "Validar Formato do Arquivo" (format only):
  // validates the current COTEPE file, then shows its log. The run's findings and
  // reconciliation are kept in lastFindings / lastReconciliation for the window,
  // and a full run's indicators, read in the same pass, in lastIndicators (its
  // options' recordObserver is replaced by theirs). The tolerance is read from
  // toleranceText as strictToleranceCents reads it; another text is refused with a
  // message naming the forms read. A refused run, or one that could not start (no
  // file, a log that cannot be created: the validation's own message), changes
  // nothing: NotRun.
  WindowValidation runValidation(bool formatOnly, const ValidationOptions& options = {});
  // The same validation from the window's button: when it looks long (validationLooksLong)
  // it runs on `job`'s worker behind the progress dialog (its messages shown when it
  // ends, in order) so the window keeps repainting; otherwise as runValidation. The
  // outcome is the same either way. Cancelled when the user cancelled (the log is
  // still written whole; the previous results stay), NotRun as for runValidation or
  // when the worker could not start.
  WindowValidation runValidationFromWindow(WorkerJob& job, bool formatOnly, const ValidationOptions& options = {});
  // Whether validating the current file is expected to take over half a second, from
  // its size and the speed of this window's last validation of a file over a
  // megabyte, taken sixteen times slower (a file with a finding on every item reads
  // ten times slower than a clean one); before the first, 40 MB a second.
  bool validationLooksLong() const;

  // The bytes per second the last validation (of a file over a megabyte) read; 0 before it.
  double validationBytesPerSecond = 0;

  // Reads the log of the current COTEPE file into outputText. False when the log
  // cannot be opened: the results box then keeps what it showed.
  bool showLogInOutput();

  // The window's values (manufacturer, model, port, kind, results, current file,
  // tolerance): the printer commands take them by reference.
  WindowState state;
  UserInterface& ui;
  std::string startDirectory;
  ShownFile shownFile;             // the file "Ler Registro Salvo" read last (empty otherwise)
  bool numberedTextInOutput = true;  // a window with its own file view turns it off

  // What the last validation found, in the log's order, and the reconciliation of
  // its Z reductions (absent for a format-only run or one that stopped early).
  std::vector<Finding> lastFindings;
  std::optional<Reconciliation> lastReconciliation;
  std::vector<Indicator> lastIndicators;  // alerts first; none after a format-only run
  std::string lastValidatedPath;  // the file those findings belong to
  bool lastValidationRan = false;  // that run read the whole file and wrote its whole log
  // That file as the run read it, to tell whether the file on disk is still the one.
  ValidatedFile lastValidatedFile;
  std::optional<std::int64_t> lastToleranceCents;  // the tolerance of that run; none for a format-only one

  // What one validation gives the window; made on any thread (the worker's), taken
  // in on the interface thread. The browser workbench runs the same validation.
  struct ValidationResults {
    std::string path;
    bool started = false;  // the run created its log: it has results to show
    ValidatedFile file;
    std::optional<std::int64_t> toleranceCents;
    std::vector<Finding> findings;
    std::optional<Reconciliation> reconciliation;
    std::vector<Indicator> indicators;
    bool ran = false;
    ValidationSummary summary;  // the run's counts and header
    std::optional<std::string> logText;  // the log as outputText shows it, when read with the results
  };
  // The window's validation of `path` (full, with the indicators, or format-only),
  // its messages through `notifier`; safe on any thread.
  static ValidationResults validateNow(Notifier& notifier, std::string path, std::int64_t tolerance, bool formatOnly,
                                       const ValidationOptions& options);

 private:
  // The tolerance of a validation: 0 for a format-only one; nothing (the refusal
  // shown) when toleranceText is not a tolerance.
  std::optional<std::int64_t> toleranceOfRun(bool formatOnly);
  // Replaces the last results with those of a run that started; false (nothing replaced) otherwise.
  bool takeResults(ValidationResults results);
  void noteSpeed(const std::string& path, double seconds);  // validationBytesPerSecond from a run
};

}  // namespace tavex
