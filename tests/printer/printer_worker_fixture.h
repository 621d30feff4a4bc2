// A start directory for the printer command tests: the simulated ECF as DATAREGIS
// (models "SIM-1000 FI", "3202DT" of group 2, "SIM-50 SEM MFD"), the bad libraries
// of library_support.h, and on demand further manufacturers served by copies of
// the simulator so that models of every group can be chosen. Each copy writes
// its call log "simulador.log" into its own folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "library_support.h"
#include "printer/acquisition_commands.h"
#include "printer/manufacturer_catalogue.h"
#include "printer/printer_worker.h"
#include "support/files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {

inline const std::filesystem::path kSimulatorFile = kStagedSimulator / "libecf_simulado.so";
// The simulator without LeituraRZ, GeraEspelhos, GeraEspelhoLMF and LeBinarioMF.
inline const std::filesystem::path kSimulatorWithoutOptionals =
    std::filesystem::path(TAVEX_BINARY_DIR) / "lib" / "libecf_sem_opcionais.so";

// A scripted interface that can look at the world when a box is shown, and
// answers the "Continuar"/"Cancelar" questions from a queue (empty: cancel).
class WatchingUserInterface : public ScriptedUserInterface {
 public:
  std::function<void(const ShownMessage&)> onMessage;
  void showMessage(std::string_view text, std::string_view title, Icon icon) override {
    ScriptedUserInterface::showMessage(text, title, icon);
    if (onMessage) onMessage(messages.back());
  }
  bool askToContinue(std::string_view text, std::string_view title) override {
    questions.push_back({std::string(text), std::string(title), Icon::Warning});
    if (continueAnswers.empty()) return false;
    const bool goOn = continueAnswers.front();
    continueAnswers.pop_front();
    return goOn;
  }
  std::deque<bool> continueAnswers;
  std::vector<ShownMessage> questions;
};

inline const ShownMessage kSuccess{"Processo finalizado com sucesso!", "Tavex!", Icon::Information};

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start = std::filesystem::absolute(dir.path());
    stageLibraries(dir);
    ui.progressHandler = [this](WorkerJob& job, bool showPercentage) {
      progressShownWithPercentage = showPercentage;
      progressOutcome = runJobUntil(job, cancelWhen);
      return progressOutcome;
    };
    // The clock moves 3,725,000 ms across a download: "01:02:05".
    context.clockMs = [t = std::int64_t{0}]() mutable {
      const std::int64_t now = t;
      t += 3725000;
      return now;
    };
  }

  // A manufacturer folder `name` with a copy of `library` serving `models`.
  void stageManufacturer(const std::string& name, const std::vector<std::string>& models,
                         const std::filesystem::path& library = kSimulatorFile) {
    std::filesystem::create_directories(start / name);
    std::filesystem::copy_file(library, start / name / library.filename());
    std::string xml = "<fabricante><dll><nome>" + library.filename().string() + "</nome>";
    for (const std::string& m : models) xml += "<modelo>" + m + "</modelo>";
    writeFile((start / name / (name + ".xml")).string(), xml + "</dll></fabricante>");
  }

  // The window's choice of manufacturer, model and port; the catalogue is read on first use.
  void select(const std::string& manufacturer, const std::string& model, const std::string& port = "COM1") {
    if (!catalogueLoaded) catalogue.loadCatalogue(ui, start);
    catalogueLoaded = true;
    catalogue.selectManufacturer(manufacturer);
    catalogue.selectModel(ui, manufacturer, model, port);
    window.manufacturerName = manufacturer;
    window.modelName = model;
    window.portName = port;
    ui.messages.clear();
  }

  std::filesystem::path folder(const std::string& manufacturer = "DATAREGIS") const { return start / manufacturer; }
  std::string log(const std::string& manufacturer = "DATAREGIS") const {
    const auto path = folder(manufacturer) / "simulador.log";
    return std::filesystem::exists(path) ? readFile(path.string()) : std::string();
  }
  // The lines of a log in sorted order: the interface's Close and the return of
  // the call it breaks off are logged by two threads, in either order.
  static std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = text.find("\r\n", at);
      lines.push_back(text.substr(at, end - at));
      at = end == std::string::npos ? text.size() : end + 2;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  // Waits (up to 20 s) until the log of `manufacturer` contains `text`.
  bool waitForLog(const std::string& text, const std::string& manufacturer = "DATAREGIS") const {
    for (int i = 0; i < 2000; ++i) {
      if (log(manufacturer).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // A memory file as the simulator writes it, made by a download of `kind` (MF or
  // MFD) with the current selection; the log, the boxes and dialogs seen are emptied afterwards.
  std::string download(AcquisitionKind kind) {
    const AcquisitionKind saved = window.acquisitionKind;
    window.acquisitionKind = kind;
    ui.answerPeriod({{}});
    generateBinaryFiles(context);
    window.acquisitionKind = saved;
    std::filesystem::remove(folder() / "simulador.log");
    ui.messages.clear();
    ui.periodDialogs.clear();
    const std::string serial = "SI010100000000000001";
    return (folder() / (kind == AcquisitionKind::Mfd ? "Arquivos Binários" : "Arquivos MF") / (serial + (kind == AcquisitionKind::Mfd ? ".mfd" : ".mf")))
        .string();
  }

  CurrentDirectoryGuard cwd;
  TempDir dir;
  std::filesystem::path start;
  WatchingUserInterface ui;
  ManufacturerCatalogue catalogue;
  bool catalogueLoaded = false;
  WorkerJob job;
  WindowState window;
  PrinterCommandContext context{window, catalogue, ui, job};
  // When the progress display cancels (checked while it waits); empty: never.
  std::function<bool(const WorkerJob&)> cancelWhen;
  WorkerOutcome progressOutcome = WorkerOutcome::NotStarted;
  bool progressShownWithPercentage = true;
};

}  // namespace tavex::testing
