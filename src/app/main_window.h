// MainDialog's window: every control of the desktop program with its caption,
// each button routed to its command. The window keeps no state of its own beyond
// the widgets: the values live in the MainDialog model, the catalogue and the
// program-wide WorkerJob, and the commands reach the user through `ui`.
#pragma once

#include <QDialog>
#include <QList>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jobs/worker_job.h"
#include "printer/manufacturer_catalogue.h"
#include "printer/printer_worker.h"
#include "window/efd_review.h"
#include "window/main_dialog.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QLabel;
class QSettings;
class QStackedWidget;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;

namespace tavex::app {

class EfdPanel;
class FileView;
class FindingsPanel;
class IndicatorsPanel;
class LogHighlighter;
class ReconciliationPanel;
class RecordPanel;

class MainWindow : public QDialog {
  Q_OBJECT

 public:
  // Builds the window over `startDirectory` (the catalogue's base) and loads the
  // catalogue; `ui` is how commands talk to the user.
  MainWindow(UserInterface& ui, const std::string& startDirectory, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The window title of the desktop program.
  static QString title();

  // What "Ajuda" and "Gerar relatório…" do with the absolute path of the manual or
  // the page; by default openInViewer. False when it could not open it: the window
  // then says so. Tests replace it.
  std::function<bool(const QString&)> openDocument;
  // Opens `path` with the desktop's opener (xdg-open), without waiting for it. False
  // when the opener cannot be started; an opener that ends in failure (no browser,
  // no viewer) is reported in a message box when it ends.
  bool openInViewer(const QString& path);

  // Where the installed program keeps what a start folder may lack: the folder of
  // the simulated ECF library and the manual. Each is used when the start folder
  // has no file of that name; empty paths (the default) for none.
  void useInstalledFiles(const std::filesystem::path& libraryFolder, const std::filesystem::path& manual);
  // The manual "Ajuda" opens: the start folder's Manual_Tavex.pdf, else the installed one.
  QString manualPath() const;

  MainDialog& model() { return model_; }
  ManufacturerCatalogue& catalogue() { return catalogue_; }
  QPushButton* button(const QString& objectName) const;
  QComboBox* manufacturers() const { return manufacturers_; }
  QComboBox* models() const { return models_; }
  QComboBox* ports() const { return ports_; }
  QLineEdit* tolerance() const { return tolerance_; }
  QPlainTextEdit* results() const { return results_; }  // the "Saída" tab
  QTabWidget* tabs() const { return tabs_; }
  // "Saída" shows the results box, or the file view after "Ler Registro Salvo".
  QStackedWidget* output() const { return output_; }
  FileView* fileView() const { return fileView_; }
  FindingsPanel* findings() const { return findings_; }
  IndicatorsPanel* indicators() const { return indicators_; }
  RecordPanel* record() const { return record_; }
  ReconciliationPanel* reconciliation() const { return reconciliation_; }
  EfdPanel* efd() const { return efd_; }  // "EFD": the last "Confrontar com EFD…"
  EfdWorkbench& efdWorkbench() { return efdWorkbench_; }
  QRadioButton* kindChoice(int kind) const;

  // Shows outputText in the results box (built once, set in one go).
  void showOutput();
  // Shows the file "Ler Registro Salvo" read (the model's shownFile) in the file view.
  void showFile();
  // After a validation: the log in "Saída" (in front, its findings coloured and the
  // first one in view), the findings in "Achados", the indicators in "Indícios",
  // the reductions in "Conciliação".
  void showValidation();
  // Whether the window is still taking in the last validation's results: a long
  // log goes into "Saída" a piece at a time, and the tabs of a flood of findings
  // one at a time, the window repainting and answering in between.
  bool loadingResults() const { return loadingLog() || tabsPending_ > 0; }
  // "Registro" at finding `index` of the last validation, or at `line` of the
  // validated file when no finding is given.
  void openFinding(int index);
  void openLine(int line);
  // "Registro" at the line of indicator `index` of the last validation.
  void openIndicator(int index);
  // Dropped files: one COTEPE file opens as "Ler Registro Salvo" would show it and
  // becomes the next file chooser's default; a folder or several files are refused.
  void openDropped(const QList<QUrl>& urls);
  QStatusBar* statusBar() const { return status_; }
  // The command groups folded away (the compact strip beside the tabs stays), or shown.
  void setCommandsCollapsed(bool collapsed);
  bool commandsCollapsed() const;
  QWidget* commandPanel() const { return commands_; }
  // Keeps the window's layout choices in `settings` and applies those saved there
  // (the real window uses the user's settings file).
  void rememberLayoutIn(QSettings* settings);

 public slots:
  void reject() override;  // "Sair", Escape and the close box

 private:
  void buildControls();
  QGroupBox* buildSettingsGroup();
  QGroupBox* buildPrintingsGroup();
  QGroupBox* buildPafGroup();
  QGroupBox* buildCotepeGroup();
  QGroupBox* buildReadingsGroup();
  QGroupBox* buildOthersGroup();
  QTabWidget* buildResultTabs();
  QWidget* buildCommandStrip();
  void addShortcuts();
  // F8 / Shift+F8: the next or previous finding, in "Registro" when it shows one, else in "Achados".
  void stepFinding(int step);
  QStatusBar* buildStatusBar();
  QPushButton* addButton(QWidget* parent, const char* captionUtf8, const QString& objectName,
                         std::function<void()> command);
  void takeControls();  // the controls' values into the model
  // "Validar Arquivo Texto" / "Validar Formato do Arquivo": behind the progress dialog
  // when it looks long; the results shown unless the user cancelled.
  void validate(bool formatOnly);
  void updateGroupEnabling();
  void runCommand(const std::function<void()>& command);
  // A printer command over the window's values; what it changes is shown again.
  void runPrinterCommand(void (*command)(PrinterCommandContext&));

  void selectManufacturer();
  void selectModel();
  void selectPort();
  void openManual();
  void quitApplication();
  void exportReconciliation();
  void saveLogAs();
  void printFindings();
  // "Confrontar com EFD…": the validated file (else the open one) against the EFD
  // files chosen, shown in "EFD" unless refused or cancelled.
  void confrontEfd();
  void writeReport();  // "Gerar relatório…": the audit report of the validated file, opened
  void updateStatus();
  bool loadingLog() const { return logLoaded_ < pendingLog_.size(); }
  // fills[next] in the next turn of the event loop, then the rest one per turn, unless another run is shown by then.
  void fillLater(std::uint64_t run, std::vector<std::function<void()>> fills, std::size_t next);
  void appendLogPiece();  // the next piece of pendingLog_ into "Saída"
  void stopLoadingLog();
  void showRecord();  // "Registro" in front, after it was filled
  void showValidatedLine(int line);  // "Registro" at `line` of the validated file, no finding in it
  // Runs `open`, the model's reading of a chosen file, and shows the file it read;
  // when it read none (cancelled, refused) the window stays as it was. True when read.
  bool openChosenFile(const std::function<bool()>& open);
  // Each result tab names the file its results come from, marked when it is not the open one.
  void updateOrigins();
  // "Tolerância: R$ 0,05", the tolerance of the results shown; empty when they have none.
  QString toleranceNote() const;
  // A chosen output that is the audited file itself (or, with `log`, its log) is refused with a message.
  bool refusedAsInput(const std::string& chosen, bool log);
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

  UserInterface& ui_;
  MainDialog model_;
  ManufacturerCatalogue catalogue_;
  std::filesystem::path installedManual_;
  WorkerJob job_;
  EfdWorkbench efdWorkbench_{ui_};

  QComboBox* manufacturers_ = nullptr;
  QComboBox* models_ = nullptr;
  QComboBox* ports_ = nullptr;
  QButtonGroup* kinds_ = nullptr;
  QLineEdit* tolerance_ = nullptr;
  QPlainTextEdit* results_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QStackedWidget* output_ = nullptr;
  FileView* fileView_ = nullptr;
  FindingsPanel* findings_ = nullptr;
  IndicatorsPanel* indicators_ = nullptr;
  RecordPanel* record_ = nullptr;
  ReconciliationPanel* reconciliation_ = nullptr;
  EfdPanel* efd_ = nullptr;
  LogHighlighter* highlighter_ = nullptr;
  int currentFinding_ = -1;
  std::string pendingLog_;     // the log being shown in "Saída" (cp1252)
  std::size_t logLoaded_ = 0;  // how much of it is there
  QTimer* logPieces_ = nullptr;
  std::uint64_t shownRun_ = 0;  // the validations shown, so a late fill knows it is stale
  std::size_t tabsPending_ = 0;  // result tabs still to be filled
  QStatusBar* status_ = nullptr;
  QWidget* commands_ = nullptr;
  QToolButton* collapse_ = nullptr;
  QLabel* statusFile_ = nullptr;
  QLabel* statusLibrary_ = nullptr;
  QLabel* statusFolder_ = nullptr;
  QLabel* statusTolerance_ = nullptr;
  std::string statusFilePath_;  // the file the status bar named last
  QSettings* settings_ = nullptr;
  std::map<QString, QPushButton*> buttons_;
};

}  // namespace tavex::app
