// The printer worker: one manufacturer-library operation run on the worker thread
// while the progress display waits. In order, the worker loads the selected
// library afresh (the interface has released the one it held), calls Open with the
// selected port and model where the operation says so, calls the entry point,
// publishes its result as the job's status and `finished`, then calls Close (where
// Open was called) and releases the library.
//
// Messages the worker raises (the loader's, a missing entry point's) are shown by
// the interface once the progress display has closed, in order.
//
// The interface never waits on a library call for more than a moment
// (PrinterCommandContext::libraryMoment): the outcome is shown as soon as the
// result is published, whether or not Close has returned; a Close that hangs is
// left to the worker. A command that finds an earlier worker still inside the
// library says so and lets the user cancel or go on.
//
// Cancelling: for the operations that ask for it, the interface first has the
// library's Close called to break off a blocked communication (waiting a moment
// for it at most); the worker is then abandoned. An abandoned worker takes no
// further step anyone can see: no Open, no status, no Close, no message. The
// library it is inside stays loaded until its call returns (the worker holds its
// own handle).
//
// Interface thread only, one operation at a time (the progress display is modal).
#pragma once

#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jobs/worker_job.h"
#include "printer/library_loader.h"
#include "printer/manufacturer_catalogue.h"
#include "port/user_interface.h"
#include "port/window_state.h"

namespace tavex {

// The status a printer worker publishes when its library could not be loaded or
// lacks the optional entry point (the worker still finishes, so the progress
// display closes; the loader has said why).
inline constexpr int kLibraryNotLoaded = INT_MIN;

struct PrinterCall {
  // The entry point's texts in order; they become the job's arguments.
  std::vector<std::string> arguments;
  // Calls the entry point with the job's arguments and returns its result.
  std::function<int(const ManufacturerLibrary&, const std::vector<std::string>&)> entryPoint;
  // For an optional entry point: whether the library exports it. When it does not,
  // the worker shows "Erro! Esta função não é suportada pela DLL do fabricante."
  // ("Tavex - Erro!") and calls nothing. Empty: always present.
  std::function<bool(const ManufacturerLibrary&)> available;
  bool openAndClose = false;   // Open before the entry point, Close after it
  bool closeOnCancel = false;  // the interface calls Close when the user cancels
};

enum class PrinterOutcome {
  NotStarted,   // the thread was refused ("Erro de inicialização da thread!" shown)
  NotLoaded,    // the library could not be loaded or lacks the entry point (its message shown)
  Cancelled,    // the user cancelled; nothing more is shown
  Finished,     // the entry point returned `status`; the library is closed and released
};

struct PrinterResult {
  PrinterOutcome outcome = PrinterOutcome::NotStarted;
  int status = 0;            // the entry point's result when Finished
  std::int64_t endedAtMs = 0;  // the clock when the entry point returned (before Close), when Finished
};

// The milliseconds of a steady process clock.
std::int64_t processClockMs();

// The longest the interface waits on a library call whose result it does not
// need: a Close after the result was published, a Close that breaks off a
// cancelled call, an earlier worker still inside the library.
inline constexpr std::chrono::milliseconds kLibraryMoment{500};

// What a printer command works with: the window's values (the window's own state,
// which it shows again after the command), the catalogue (the selection, the
// library path, the model groups), the user and the program's job.
struct PrinterCommandContext {
  WindowState& window;
  ManufacturerCatalogue& catalogue;
  UserInterface& ui;
  WorkerJob& job;
  std::function<void()> show = {};  // shows the window's values during the command; may be empty
  std::function<std::int64_t()> clockMs = processClockMs;  // timing of the downloads (also called on the worker)
  std::chrono::milliseconds libraryMoment = kLibraryMoment;
};

// Tests a printer command's preconditions in order: a manufacturer and a model
// chosen in the window and selected in the catalogue ("Não há fabricante ou modelo
// selecionado."), then, when `refuseGroup5`, a model without detail-tape memory
// ("Função não suportada pelo Software Básico do ECF selecionado – ECF não possui
// MFD"); both "Erro!", error icon. False after a box.
bool checkPrinterSelection(PrinterCommandContext& c, bool refuseGroup5);

// The text shown when an optional entry point is missing.
extern const char* const kUnsupportedByLibrary;
// The question asked when an earlier worker is still inside the library.
extern const char* const kEarlierCallStillRunning;

// True when no earlier worker is inside a library call after waiting a moment for
// it; otherwise asks the user (kEarlierCallStillRunning, "Aviso!") whether to go on
// anyway (true) or cancel the command (false). The stuck worker is never joined.
bool confirmNoEarlierWorker(PrinterCommandContext& c);

// Runs `call` on the worker through the progress display (animated bar) with the
// catalogue's library path, port and model, after confirmNoEarlierWorker (declined:
// Cancelled) and releasing the catalogue's library. On Finished it waits a moment
// at most for the worker to close and release the library; a Close that hangs
// stays with the worker.
PrinterResult runPrinterWorker(PrinterCommandContext& c, PrinterCall call);

}  // namespace tavex
