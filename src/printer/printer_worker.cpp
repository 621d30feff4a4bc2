#include "printer/printer_worker.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

#include "cotepe/text.h"

namespace tavex {

const char* const kUnsupportedByLibrary = "Erro! Esta função não é suportada pela DLL do fabricante."_cp;

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
  std::condition_variable returned;
  std::shared_ptr<const ManufacturerLibrary> library;
  bool abandoned = false;
  bool called = false;  // the entry point ran; written before `finished`, read after it
  bool done = false;    // the worker has closed and released the library

  bool isAbandoned() {
    std::lock_guard lock(mutex);
    return abandoned;
  }
};

struct Connection {
  std::filesystem::path startDirectory;
  std::string libraryPath, port, model;
};

void workerProcedure(WorkerContext& context, Shared& shared, const Connection& connection, const PrinterCall& call) {
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
    context.finish(status);
  }
  if (call.openAndClose) library->close();
  library.reset();
  std::lock_guard lock(shared.mutex);
  shared.library.reset();
  shared.done = true;
  shared.returned.notify_all();
}

}  // namespace

std::int64_t processClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool checkPrinterSelection(PrinterCommandContext& c, SelectionNeeded need, bool refuseGroup5) {
  const bool missing = c.window.modelName.empty() ||
                       (need == SelectionNeeded::ManufacturerAndModel && c.window.manufacturerName.empty());
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

PrinterResult runPrinterWorker(UserInterface& ui, WorkerJob& job, ManufacturerCatalogue& catalogue, PrinterCall call) {
  catalogue.unloadManufacturerLibrary();
  auto shared = std::make_shared<Shared>();
  const Connection connection{catalogue.startDirectory(), catalogue.libraryPath(), catalogue.connectionPort(),
                              catalogue.connectionModel()};
  job.inputPath.clear();
  job.arguments = call.arguments;
  const bool closeOnCancel = call.closeOnCancel;
  auto procedure = [shared, connection, call = std::move(call)](WorkerContext& context) {
    workerProcedure(context, *shared, connection, call);
  };
  auto onCancel = [shared, closeOnCancel] {
    std::shared_ptr<const ManufacturerLibrary> library;
    {
      std::lock_guard lock(shared->mutex);
      shared->abandoned = true;
      library = shared->library;
    }
    if (closeOnCancel && library != nullptr) library->close();
  };
  const WorkerOutcome outcome =
      runOnWorker(ui, job, std::move(procedure), false, CancelMode::Abandon, std::move(onCancel));
  switch (outcome) {
    case WorkerOutcome::NotStarted: return {PrinterOutcome::NotStarted, 0};
    case WorkerOutcome::Cancelled: return {PrinterOutcome::Cancelled, 0};
    case WorkerOutcome::Finished: break;
  }
  std::unique_lock lock(shared->mutex);
  if (!shared->called) return {PrinterOutcome::NotLoaded, 0};
  // Close normally returns at once; a library that hangs in it is not waited for long.
  shared->returned.wait_for(lock, std::chrono::seconds(30), [&] { return shared->done; });
  return {PrinterOutcome::Finished, job.status()};
}

}  // namespace tavex
