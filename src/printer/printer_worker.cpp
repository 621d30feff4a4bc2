#include "printer/printer_worker.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "cotepe/text.h"

namespace tavex {

const char* const kUnsupportedByLibrary = "Erro! Esta função não é suportada pela DLL do fabricante."_cp;
const char* const kEarlierCallStillRunning =
    "A biblioteca do fabricante ainda não terminou a operação anterior: a impressora pode não estar "
    "respondendo.\n\nContinuar mesmo assim? A nova operação pode ficar aguardando a anterior."_cp;

namespace {

// The worker's way to the user: message boxes become notices the interface shows
// after the progress display; nothing else can be asked from the worker.
class WorkerNoticeInterface final : public UserInterface {
 public:
  explicit WorkerNoticeInterface(WorkerContext& context) : context_(context) {}
  void showMessage(std::string_view text, std::string_view title, Icon icon) override {
    context_.notify({std::string(text), std::string(title), icon});
  }
  std::optional<std::string> chooseOpenFile(const OpenFileRequest&) override { return std::nullopt; }
  std::optional<std::string> chooseFolder(std::string_view) override { return std::nullopt; }
  WorkerOutcome runWithProgress(WorkerJob&, bool) override { return WorkerOutcome::NotStarted; }

 private:
  WorkerContext& context_;
};

// What the interface and one worker share beyond the job: the library the worker
// loaded (for Close on cancel), whether the worker was abandoned, how it ended.
struct Shared {
  std::mutex mutex;
  std::shared_ptr<const ManufacturerLibrary> library;
  bool abandoned = false;
  // Written before `finished`, read after it: the entry point ran, and the clock then.
  bool called = false;
  std::int64_t endedAtMs = 0;

  bool isAbandoned() {
    std::lock_guard lock(mutex);
    return abandoned;
  }
};

struct Connection {
  std::filesystem::path startDirectory;
  std::string libraryPath, port, model;
};

void workerProcedure(WorkerContext& context, Shared& shared, const Connection& connection, const PrinterCall& call,
                     const std::function<std::int64_t()>& clockMs) {
  if (shared.isAbandoned()) return;
  WorkerNoticeInterface ui(context);
  std::shared_ptr<const ManufacturerLibrary> library =
      loadManufacturerLibrary(ui, connection.startDirectory, connection.libraryPath);
  {
    std::lock_guard lock(shared.mutex);
    if (shared.abandoned) return;
    shared.library = library;
  }
  if (library == nullptr) {
    context.finish(kLibraryNotLoaded);
    return;
  }
  if (call.available && !call.available(*library)) {
    ui.showMessage(kUnsupportedByLibrary, "Tavex - Erro!", Icon::Error);
    std::lock_guard lock(shared.mutex);
    shared.library.reset();
    context.finish(kLibraryNotLoaded);
    return;
  }
  if (call.openAndClose) library->open(connection.port.c_str(), connection.model.c_str());
  if (shared.isAbandoned()) return;
  const int status = call.entryPoint(*library, context.arguments());
  {
    // Deciding under the lock: a cancel either came first (the worker stops here)
    // or comes after the result is published.
    std::lock_guard lock(shared.mutex);
    if (shared.abandoned) return;
    shared.called = true;
    shared.endedAtMs = clockMs();
    context.finish(status);
  }
  // The interface may be showing the outcome already; a Close that hangs keeps
  // only this thread (and the library it holds) waiting.
  if (call.openAndClose) library->close();
  std::lock_guard lock(shared.mutex);
  shared.library.reset();
}

// Close from the interface to break off a blocked call. Close itself may hang, so
// it runs on a thread of its own, which the interface waits for a moment at most.
void closeBriefly(const std::shared_ptr<const ManufacturerLibrary>& library, std::chrono::milliseconds moment) {
  auto returned = std::make_shared<std::atomic<bool>>(false);
  try {
    std::thread([library, returned] {
      library->close();
      returned->store(true, std::memory_order_release);
    }).detach();
  } catch (const std::system_error&) {
    library->close();  // no thread to spare: break the call off here
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + moment;
  while (!returned->load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace

std::int64_t processClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool checkPrinterSelection(PrinterCommandContext& c, bool refuseGroup5) {
  // The window's lists and the catalogue's selection must agree: after a new
  // manufacturer the catalogue still holds the previous model's library.
  const bool missing = c.window.modelName.empty() || c.window.manufacturerName.empty() ||
                       c.catalogue.selectedModel() != c.window.modelName ||
                       c.catalogue.selectedManufacturer() != c.window.manufacturerName;
  if (missing) {
    c.ui.showMessage("Não há fabricante ou modelo selecionado."_cp, "Erro!", Icon::Error);
    return false;
  }
  if (refuseGroup5 && c.catalogue.modelInGroup(5)) {
    c.ui.showMessage("Função não suportada pelo Software Básico do ECF selecionado – ECF não possui MFD"_cp, "Erro!",
                     Icon::Error);
    return false;
  }
  return true;
}

bool confirmNoEarlierWorker(PrinterCommandContext& c) {
  if (c.job.waitForEarlierWorker(c.libraryMoment)) return true;
  return c.ui.askToContinue(kEarlierCallStillRunning, "Aviso!");
}

PrinterResult runPrinterWorker(PrinterCommandContext& c, PrinterCall call) {
  if (!confirmNoEarlierWorker(c)) return {PrinterOutcome::Cancelled, 0};
  c.catalogue.unloadManufacturerLibrary();
  auto shared = std::make_shared<Shared>();
  const Connection connection{c.catalogue.startDirectory(), c.catalogue.libraryPath(), c.catalogue.connectionPort(),
                              c.catalogue.connectionModel()};
  c.job.inputPath.clear();
  c.job.arguments = call.arguments;
  const bool closeOnCancel = call.closeOnCancel;
  auto procedure = [shared, connection, call = std::move(call), clockMs = c.clockMs](WorkerContext& context) {
    workerProcedure(context, *shared, connection, call, clockMs);
  };
  auto onCancel = [shared, closeOnCancel, moment = c.libraryMoment] {
    std::shared_ptr<const ManufacturerLibrary> library;
    {
      std::lock_guard lock(shared->mutex);
      shared->abandoned = true;
      library = shared->library;
    }
    if (closeOnCancel && library != nullptr) closeBriefly(library, moment);
  };
  const WorkerOutcome outcome =
      runOnWorker(c.ui, c.job, std::move(procedure), false, CancelMode::Abandon, std::move(onCancel));
  switch (outcome) {
    case WorkerOutcome::NotStarted: return {PrinterOutcome::NotStarted, 0};
    case WorkerOutcome::Cancelled: return {PrinterOutcome::Cancelled, 0};
    case WorkerOutcome::Finished: break;
  }
  PrinterResult result{PrinterOutcome::NotLoaded, 0};
  {
    std::lock_guard lock(shared->mutex);
    if (shared->called) result = {PrinterOutcome::Finished, c.job.status(), shared->endedAtMs};
  }
  // Close normally returns at once, so the next command rarely meets this worker.
  c.job.waitForEarlierWorker(c.libraryMoment);
  return result;
}

}  // namespace tavex
