#include "app/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QSettings>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <chrono>

#include "app/about_dialog.h"
#include "app/efd_view.h"
#include "app/file_view.h"
#include "app/findings_view.h"
#include "app/indicators_view.h"
#include "app/origin_bar.h"
#include "app/reconciliation_view.h"
#include "app/record_view.h"
#include "app/paf_dialog.h"
#include "app/qt_user_interface.h"
#include "app/qt_text.h"
#include "cotepe/file_access.h"
#include "export/csv_export.h"
#include "export/file_split.h"
#include "export/mdb_export.h"
#include "printer/acquisition_commands.h"
#include "printer/print_commands.h"
#include "signature/ead_verification.h"
#include "signature/paf_signature.h"
#include "report/report_file.h"
#include "tavex_version.h"
#include "validation/tolerance.h"
#include "window/indicator_display.h"

namespace tavex::app {

namespace {

QString utf8(const char* text) { return QString::fromUtf8(text); }

const char* const kManualNotOpened =
    "Não foi possível abrir o manual do Tavex (Manual_Tavex.pdf, na pasta em que o programa foi iniciado)."_cp;

bool isFindingLine(const QString& text) { return text.startsWith("[ERR] ") || text.startsWith("[AVISO] "); }

constexpr int kStatusShown = 30000;  // ms a "written to" note stays in the status bar
// Bytes of a log "Saída" takes in before the window shows the results (about
// 2,500 lines), then in pieces of about 300 lines for as long as one turn of the
// event loop may take.
constexpr std::size_t kFirstLogPiece = 256 * 1024;
constexpr std::size_t kLogPiece = 32 * 1024;
constexpr auto kLogTurn = std::chrono::milliseconds(40);
// Findings from which the result tabs are filled one per turn of the event loop.
constexpr std::size_t kFindingsAtOnce = 20000;

// Where a piece of `text` from `from` of about `size` bytes ends: after a line end.
std::size_t pieceEnd(const std::string& text, std::size_t from, std::size_t size) {
  if (text.size() - from <= size) return text.size();
  const std::size_t newline = text.find('\n', from + size);
  return newline == std::string::npos ? text.size() : newline + 1;
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

// Writes `bytes` to `path` whole or not at all (a temporary file beside it takes
// its name at the end), never through a symbolic link nor over anything but a
// regular file. Empty when written, else why not (cp1252).
std::string saveWhole(const std::string& path, const QByteArray& bytes) {
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(path, ec);
  if (std::filesystem::is_symlink(status)) return outputRefusalMessage(OutputError::Symlink, path);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    return outputRefusalMessage(OutputError::NotRegular, path);
  QSaveFile file(fromPath(path));
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return {};
  return toCp1252(utf8("Não foi possível gravar %1: %2").arg(fromPath(path), file.errorString()));
}

}  // namespace

// Colours the log's "[ERR]" lines red and "[AVISO]" lines amber, as "Achados" does,
// as they come into view: a log of 100,000 findings is never coloured whole (a
// syntax highlighter would go over every line before the window shows the first).
class LogHighlighter : public QObject {
 public:
  explicit LogHighlighter(QPlainTextEdit* view) : QObject(view), view_(view) {
    connect(view, &QPlainTextEdit::updateRequest, this, [this] { colourShownLines(); });
  }

  // On for a log, off for a printer's text.
  void setActive(bool active) {
    active_ = active;
    colourShownLines();
  }

  void colourShownLines() {
    if (!active_ || colouring_) return;
    colouring_ = true;
    QTextDocument* document = view_->document();
    const QTextBlock last = view_->cursorForPosition(QPoint(0, view_->viewport()->height())).block();
    for (QTextBlock block = view_->cursorForPosition(QPoint(0, 0)).block(); block.isValid(); block = block.next()) {
      const QString text = block.text();
      const bool error = text.startsWith("[ERR] "), warning = text.startsWith("[AVISO] ");
      if ((error || warning) && block.layout()->formats().isEmpty()) {
        QTextLayout::FormatRange range;
        range.start = 0;
        range.length = static_cast<int>(text.size());
        range.format.setForeground(error ? QColor(0xb0, 0x00, 0x20) : QColor(0xb3, 0x6b, 0x00));
        block.layout()->setFormats({range});
        document->markContentsDirty(block.position(), block.length());
      }
      if (block == last) break;
    }
    colouring_ = false;
  }

 private:
  QPlainTextEdit* view_;
  bool active_ = false;
  bool colouring_ = false;
};

QString MainWindow::title() { return utf8("Tavex v3.28            09/10/2012"); }

MainWindow::MainWindow(UserInterface& ui, const std::string& startDirectory, QWidget* parent)
    : QDialog(parent), ui_(ui), model_(ui, startDirectory) {
  setObjectName("MainDialog");
  setWindowTitle(title());
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  openDocument = [this](const QString& path) { return openInViewer(path); };
  buildControls();

  catalogue_.loadCatalogue(ui_, startDirectory);
  QStringList names;
  // Manufacturer names are folder names: file-system text, not cp1252.
  for (const ManufacturerEntry& entry : catalogue_.entries()) names << fromPath(entry.name);
  names.removeDuplicates();
  names.sort();
  manufacturers_->addItems(names);
  manufacturers_->setCurrentIndex(-1);
  model_.numberedTextInOutput = false;  // "Ler Registro Salvo" shows through the file view
  model_.state.acquisitionKind = AcquisitionKind::Mf;
  kindChoice(0)->setChecked(true);
  tolerance_->setText(fromCp1252(model_.state.toleranceText));
  setAcceptDrops(true);
  // The real choosers remember their folders in the user's settings.
  if (auto* qt = dynamic_cast<QtUserInterface*>(&ui_)) {
    auto* settings = new QSettings(QSettings::IniFormat, QSettings::UserScope, "Tavex", "tavex", this);
    qt->rememberFolders(settings, fromPath(startDirectory));
    rememberLayoutIn(settings);
  }
  updateStatus();
  resize(1000, 740);
}

MainWindow::~MainWindow() { catalogue_.unloadManufacturerLibrary(); }

QPushButton* MainWindow::addButton(QWidget* parent, const char* captionUtf8, const QString& objectName,
                                   std::function<void()> command) {
  auto* button = new QPushButton(utf8(captionUtf8), parent);
  button->setObjectName(objectName);
  connect(button, &QPushButton::clicked, this, [this, command] { runCommand(command); });
  buttons_[objectName] = button;
  return button;
}

QPushButton* MainWindow::button(const QString& objectName) const {
  const auto it = buttons_.find(objectName);
  return it == buttons_.end() ? nullptr : it->second;
}

QRadioButton* MainWindow::kindChoice(int kind) const { return qobject_cast<QRadioButton*>(kinds_->button(kind)); }

// The window's controls, group by group, then the results and the status bar.
void MainWindow::buildControls() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(6, 4, 6, 2);
  root->setSpacing(3);
  // The command groups: a fixed height, so nothing in them moves when the results change.
  commands_ = new QWidget(this);
  commands_->setObjectName("painelComandos");
  commands_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  auto* top = new QHBoxLayout(commands_);
  top->setContentsMargins(0, 0, 0, 0);

  // Left column: settings, printings, PAF-ECF.
  auto* left = new QVBoxLayout;
  top->addLayout(left);
  left->addWidget(buildSettingsGroup());
  left->addWidget(buildPrintingsGroup());
  left->addWidget(buildPafGroup());
  left->addStretch(1);

  // Middle: the COTEPE group.
  top->addWidget(buildCotepeGroup());

  // Right column: readings and the rest.
  auto* right = new QVBoxLayout;
  top->addLayout(right);
  right->addWidget(buildReadingsGroup());
  right->addWidget(buildOthersGroup());
  right->addStretch(1);
  // Groups packed closely: the room goes to the results.
  for (QGroupBox* group : commands_->findChildren<QGroupBox*>()) {
    group->layout()->setSpacing(2);
    group->layout()->setContentsMargins(6, 2, 6, 4);
  }
  left->setSpacing(2);
  right->setSpacing(2);

  root->addWidget(commands_);
  // Results, full width: they take the extra space.
  root->addWidget(buildResultTabs(), 1);
  root->addWidget(buildStatusBar());
}

QGroupBox* MainWindow::buildSettingsGroup() {
  auto* settings = new QGroupBox(utf8("Configurações"), this);
  auto* settingsLayout = new QGridLayout(settings);
  manufacturers_ = new QComboBox(settings);
  manufacturers_->setObjectName("fabricante");
  models_ = new QComboBox(settings);
  models_->setObjectName("modelo");
  ports_ = new QComboBox(settings);
  ports_->setObjectName("porta");
  for (const std::string& port : MainDialog::portNames()) ports_->addItem(fromCp1252(port));
  ports_->setCurrentText("COM1");
  settingsLayout->addWidget(new QLabel("Fabricante:", settings), 0, 0);
  settingsLayout->addWidget(manufacturers_, 0, 1);
  settingsLayout->addWidget(new QLabel("Modelo:", settings), 1, 0);
  settingsLayout->addWidget(models_, 1, 1);
  settingsLayout->addWidget(new QLabel("Porta:", settings), 2, 0);
  settingsLayout->addWidget(ports_, 2, 1);
  settingsLayout->setColumnStretch(1, 1);
  connect(manufacturers_, &QComboBox::textActivated, this, [this] { selectManufacturer(); });
  connect(models_, &QComboBox::textActivated, this, [this] { selectModel(); });
  connect(ports_, &QComboBox::textActivated, this, [this] { selectPort(); });

  return settings;
}

QGroupBox* MainWindow::buildPrintingsGroup() {
  auto* printings = new QGroupBox(utf8("Impressões"), this);
  auto* printingsLayout = new QVBoxLayout(printings);
  printingsLayout->addWidget(addButton(printings, "Leitura X", "leituraX", [this] { runPrinterCommand(printXReading); }));
  printingsLayout->addWidget(addButton(printings, "Leitura da MF", "leituraMF", [this] { runPrinterCommand(printFiscalMemoryReading); }));
  printingsLayout->addWidget(addButton(printings, "Impressão da Fita-Detalhe", "impressaoFitaDetalhe",
                                               [this] { runPrinterCommand(printDetailTape); }));

  return printings;
}

QGroupBox* MainWindow::buildPafGroup() {
  auto* paf = new QGroupBox("PAF-ECF", this);
  auto* pafLayout = new QVBoxLayout(paf);
  pafLayout->addWidget(addButton(paf, "Validar Assinatura PAF-ECF", "validarAssinaturaPaf", [this] {
    PAF_Dlg dialog(ui_, std::filesystem::path(model_.startDirectory) / kSoftwareHouseFolder, this);
    dialog.exec();
  }));
  return paf;
}

QGroupBox* MainWindow::buildCotepeGroup() {
  auto* cotepe = new QGroupBox("Ato COTEPE 17/04", this);
  auto* cotepeLayout = new QVBoxLayout(cotepe);
  kinds_ = new QButtonGroup(this);
  const char* kindCaptions[] = {"MF - Leit. Dados da Memória Fiscal", "MFD - Leit. Dados da Memória Fita-Detalhe",
                                "TDM - Leit. Dados das Memórias do ECF", "RZ - Recup. Dados da Redução Z"};
  for (int kind = 0; kind < 4; ++kind) {
    auto* choice = new QRadioButton(utf8(kindCaptions[kind]), cotepe);
    choice->setObjectName(QString("tipo%1").arg(kind));
    kinds_->addButton(choice, kind);
    cotepeLayout->addWidget(choice);
  }
  connect(kinds_, &QButtonGroup::idClicked, this, [this](int id) { model_.state.acquisitionKind = acquisitionKindOf(id); });
  // Its buttons in two columns, in their order, row by row.
  auto* cotepeButtons = new QGridLayout;
  cotepeButtons->setSpacing(2);
  int placed = 0;
  const auto put = [&](QPushButton* button) {
    cotepeButtons->addWidget(button, placed / 2, placed % 2);
    ++placed;
  };
  put(addButton(cotepe, "Gerar Arquivos Binários", "gerarArquivosBinarios",
                                       [this] { runPrinterCommand(generateBinaryFiles); }));
  put(addButton(cotepe, "Gerar Arquivo Texto", "gerarArquivoTexto", [this] { runPrinterCommand(generateTextFile); }));
  put(addButton(cotepe, "Ler Registro Salvo", "lerRegistroSalvo",
                [this] { openChosenFile([this] { return model_.openSavedCotepeFile(); }); }));
  put(addButton(cotepe, "Validar Arquivo Texto", "validarArquivoTexto", [this] { validate(false); }));
  put(addButton(cotepe, "Separar Arquivo ", "separarArquivo", [this] {
    ConversionSession session{job_, model_.state.currentCotepePath, {}};
    splitCotepeFile(ui_, session);
  }));
  put(addButton(cotepe, "Exportar CSV", "exportarCsv", [this] {
    ConversionSession session{job_, model_.state.currentCotepePath, {}};
    exportCsv(ui_, session);
  }));
  put(addButton(cotepe, "Exportar MDB", "exportarMdb", [this] {
    ConversionSession session{job_, model_.state.currentCotepePath,
                              model_.state.manufacturerName.empty() ? std::string() : catalogue_.mdbDirectory()};
    exportMdb(ui_, session);
  }));
  put(addButton(cotepe, "Confrontar com EFD…", "confrontarEfd", [this] { confrontEfd(); }));
  cotepeLayout->addLayout(cotepeButtons);
  auto* toleranceLabel = new QLabel("Tolerancia: R$", cotepe);
  toleranceLabel->setAlignment(Qt::AlignCenter);
  tolerance_ = new QLineEdit(cotepe);
  tolerance_->setObjectName("tolerancia");
  tolerance_->setAlignment(Qt::AlignCenter);
  cotepeLayout->addWidget(toleranceLabel);
  cotepeLayout->addWidget(tolerance_);
  QPushButton* formatOnly = addButton(cotepe, "Validar Formato do Arquivo", "validarFormato", [this] { validate(true); });
  formatOnly->setVisible(false);  // present, never shown
  cotepeLayout->addWidget(formatOnly);
  cotepeLayout->addStretch(1);
  return cotepe;
}

QGroupBox* MainWindow::buildReadingsGroup() {
  auto* readings = new QGroupBox("Leituras", this);
  auto* readingsLayout = new QVBoxLayout(readings);
  readingsLayout->addWidget(addButton(readings, "Leitura do Software Básico", "leituraSoftwareBasico",
                                         [this] { runPrinterCommand(readBasicSoftware); }));
  readingsLayout->addWidget(addButton(readings, "Leitura do Binário da MF", "leituraBinarioMF",
                                         [this] { runPrinterCommand(readFiscalMemoryBinary); }));
  readingsLayout->addWidget(addButton(readings, "Ler Bitmap RZ", "lerBitmapRZ", [this] { runPrinterCommand(readReductionBitmap); }));
  readingsLayout->addWidget(addButton(readings, "Gerar Espelhos da LMF", "gerarEspelhosLMF",
                                         [this] { runPrinterCommand(generateLmfMirror); }));
  readingsLayout->addWidget(addButton(readings, "Gerar Espelhos da MFD", "gerarEspelhosMFD",
                                         [this] { runPrinterCommand(generateMfdMirror); }));
  return readings;
}

QGroupBox* MainWindow::buildOthersGroup() {
  auto* others = new QGroupBox("Outros", this);
  auto* othersLayout = new QVBoxLayout(others);
  othersLayout->addWidget(addButton(others, "Validar Assinatura Digital AC 17/04", "validarAssinaturaDigital", [this] {
    verifyEadSignature(ui_,
                       [this] { return catalogue_.rsaKeyOfSelection(ui_, model_.state.manufacturerName, model_.state.modelName); });
  }));
  QPushButton* help = addButton(others, "Ajuda", "ajuda", [this] { openManual(); });
  help->setDefault(true);
  othersLayout->addWidget(help);
  othersLayout->addWidget(addButton(others, "Sobre", "sobre", [this] {
    AboutDialog about(this);
    about.exec();
  }));
  othersLayout->addWidget(addButton(others, "Sair", "sair", [this] { quitApplication(); }));
  return others;
}

// The results area: the classic results box in "Saída", the audit views beside it.
QTabWidget* MainWindow::buildResultTabs() {
  results_ = new QPlainTextEdit(this);
  results_->setObjectName("resultados");
  results_->setReadOnly(true);
  results_->setUndoRedoEnabled(false);  // a long log goes in by pieces: no history of them
  // Reached and read with the keyboard like every pane; Tab goes on to the next one.
  results_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  results_->setFocusPolicy(Qt::StrongFocus);
  results_->setTabChangesFocus(true);
  results_->setLineWrapMode(QPlainTextEdit::NoWrap);
  results_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  results_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont courier("Courier New");
  courier.setStyleHint(QFont::Monospace);
  courier.setPixelSize(14);
  courier.setWeight(QFont::Normal);
  results_->setFont(courier);
  results_->viewport()->installEventFilter(this);
  highlighter_ = new LogHighlighter(results_);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("abasResultados");
  tabs_->setCornerWidget(buildCommandStrip(), Qt::TopRightCorner);
  fileView_ = new FileView(this);
  fileView_->setObjectName("visaoArquivo");
  fileView_->setFont(courier);
  output_ = new QStackedWidget(this);
  output_->setObjectName("saida");
  output_->addWidget(results_);
  output_->addWidget(fileView_);
  tabs_->addTab(output_, utf8("Saída"));
  findings_ = new FindingsPanel(tabs_);
  findings_->setObjectName("achados");
  findings_->setFindings(&model_.lastFindings);
  tabs_->addTab(findings_, findings_->tabTitle());
  indicators_ = new IndicatorsPanel(tabs_);
  indicators_->setObjectName("indicios");
  indicators_->setIndicators(&model_.lastIndicators);
  tabs_->addTab(indicators_, indicators_->tabTitle());
  reconciliation_ = new ReconciliationPanel(tabs_);
  reconciliation_->setObjectName("conciliacao");
  tabs_->addTab(reconciliation_, utf8("Conciliação"));
  efd_ = new EfdPanel(tabs_);
  efd_->setObjectName("efd");
  tabs_->addTab(efd_, efd_->tabTitle());
  record_ = new RecordPanel(tabs_);
  record_->setObjectName("registro");
  tabs_->addTab(record_, utf8("Registro"));
  record_->setValidatedFile(&model_.lastValidatedFile);
  findings_->detail()->setValidatedFile(&model_.lastValidatedFile);

  connect(findings_, &FindingsPanel::saveLogRequested, this, [this] { runCommand([this] { saveLogAs(); }); });
  connect(findings_, &FindingsPanel::printRequested, this, [this] { printFindings(); });
  connect(findings_, &FindingsPanel::reportRequested, this, [this] { runCommand([this] { writeReport(); }); });

  connect(findings_, &FindingsPanel::findingActivated, this, &MainWindow::openFinding);
  connect(indicators_, &IndicatorsPanel::indicatorActivated, this, &MainWindow::openIndicator);
  connect(record_, &RecordPanel::previousFinding, this, [this] { openFinding(currentFinding_ - 1); });
  connect(record_, &RecordPanel::nextFinding, this, [this] { openFinding(currentFinding_ + 1); });
  connect(reconciliation_, &ReconciliationPanel::exportRequested, this, [this] { runCommand([this] { exportReconciliation(); }); });
  connect(reconciliation_, &ReconciliationPanel::lineActivated, this, &MainWindow::openLine);
  connect(reconciliation_, &ReconciliationPanel::causeRequested, this, [this] {
    tabs_->setCurrentWidget(findings_);
    findings_->showCauseFirst(true);
  });
  connect(efd_, &EfdPanel::recordActivated, this, [this](const std::string& path, int line) {
    currentFinding_ = -1;
    record_->showLine(path, line, nullptr);
    record_->setNavigation(false, false);
    showRecord();
  });
  auto* find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, [this] {
    tabs_->setCurrentWidget(findings_);
    findings_->focusSearch();
  });
  addShortcuts();
  return tabs_;
}

// Beside the tabs: the switch that folds the command groups away and, while they
// are folded, the two commands of every day's work.
QWidget* MainWindow::buildCommandStrip() {
  auto* strip = new QWidget(this);
  strip->setObjectName("faixaComandos");
  auto* layout = new QHBoxLayout(strip);
  layout->setContentsMargins(0, 0, 2, 0);
  layout->setSpacing(2);
  const auto tool = [strip](const QString& name, const QString& text, const QString& tip) {
    auto* button = new QToolButton(strip);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
  };
  QToolButton* open = tool("abrirCompacto", utf8("Ler Registro Salvo"), utf8("Ler Registro Salvo: abrir um arquivo COTEPE (Ctrl+O)"));
  QToolButton* validate = tool("validarCompacto", utf8("Validar Arquivo Texto"), utf8("Validar Arquivo Texto (F5)"));
  collapse_ = tool("alternarComandos", QString(), QString());
  collapse_->setCheckable(true);
  layout->addWidget(open);
  layout->addWidget(validate);
  layout->addWidget(collapse_);
  connect(open, &QToolButton::clicked, this, [this] { button("lerRegistroSalvo")->click(); });
  connect(validate, &QToolButton::clicked, this, [this] { button("validarArquivoTexto")->click(); });
  connect(collapse_, &QToolButton::toggled, this, &MainWindow::setCommandsCollapsed);
  setCommandsCollapsed(false);
  return strip;
}

void MainWindow::setCommandsCollapsed(bool collapsed) {
  if (collapse_->isChecked() != collapsed) return collapse_->setChecked(collapsed);  // comes back here
  commands_->setVisible(!collapsed);
  collapse_->setText(collapsed ? utf8("▾ Mostrar comandos") : utf8("▴ Recolher comandos"));
  collapse_->setToolTip(collapsed ? utf8("Mostrar de novo os grupos de comandos (Ctrl+M)")
                                  : utf8("Recolher os grupos de comandos e dar a altura aos resultados (Ctrl+M)"));
  for (const char* name : {"abrirCompacto", "validarCompacto"})
    if (auto* compact = collapse_->parentWidget()->findChild<QToolButton*>(name)) compact->setVisible(collapsed);
  if (settings_ != nullptr) settings_->setValue("janela/comandosRecolhidos", collapsed);
}

bool MainWindow::commandsCollapsed() const { return collapse_->isChecked(); }

void MainWindow::rememberLayoutIn(QSettings* settings) {
  settings_ = nullptr;  // reading the choice back does not write it
  setCommandsCollapsed(settings != nullptr && settings->value("janela/comandosRecolhidos", false).toBool());
  settings_ = settings;
}

// The keys of the common actions; each presses the button it stands for, so it
// goes the same way (and is refused the same way when the button is disabled).
void MainWindow::addShortcuts() {
  const auto press = [this](const QKeySequence& keys, QAbstractButton* target) {
    target->setToolTip(target->toolTip().isEmpty() ? target->text().trimmed() + " (" + keys.toString(QKeySequence::NativeText) + ")"
                                                   : target->toolTip());
    connect(new QShortcut(keys, this), &QShortcut::activated, target, [target] {
      if (target->isEnabled()) target->click();
    });
  };
  press(QKeySequence::Open, button("lerRegistroSalvo"));
  press(QKeySequence(Qt::Key_F5), button("validarArquivoTexto"));
  press(QKeySequence::Save, findings_->findChild<QPushButton*>("salvarLog"));
  press(QKeySequence::Print, findings_->findChild<QPushButton*>("imprimirAchados"));
  press(QKeySequence(Qt::CTRL | Qt::Key_R), findings_->findChild<QPushButton*>("gerarRelatorio"));
  press(QKeySequence(Qt::CTRL | Qt::Key_M), collapse_);
  connect(new QShortcut(QKeySequence(Qt::Key_F8), this), &QShortcut::activated, this, [this] { stepFinding(1); });
  connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8), this), &QShortcut::activated, this, [this] { stepFinding(-1); });
}

void MainWindow::stepFinding(int step) {
  if (tabs_->currentWidget() == record_ && currentFinding_ >= 0) return openFinding(currentFinding_ + step);
  tabs_->setCurrentWidget(findings_);
  findings_->moveSelection(step);
}

QStatusBar* MainWindow::buildStatusBar() {
  status_ = new QStatusBar(this);
  status_->setObjectName("barraDeEstado");
  status_->setSizeGripEnabled(false);
  statusFile_ = new QLabel(status_);
  statusFile_->setObjectName("estadoArquivo");
  statusLibrary_ = new QLabel(status_);
  statusLibrary_->setObjectName("estadoBiblioteca");
  statusFolder_ = new QLabel(status_);
  statusFolder_->setObjectName("estadoPasta");
  statusTolerance_ = new QLabel(status_);
  statusTolerance_->setObjectName("estadoTolerancia");
  status_->addWidget(statusFile_, 2);
  status_->addWidget(statusTolerance_, 1);
  status_->addWidget(statusLibrary_, 2);
  status_->addWidget(statusFolder_, 3);
  return status_;
}

void MainWindow::takeControls() {
  model_.state.manufacturerName = toPath(manufacturers_->currentText());
  model_.state.modelName = toCp1252(models_->currentText());
  model_.state.portName = toCp1252(ports_->currentText());
  model_.state.acquisitionKind = acquisitionKindOf(kinds_->checkedId());
  model_.state.toleranceText = toCp1252(tolerance_->text());
}

void MainWindow::runCommand(const std::function<void()>& command) {
  takeControls();
  command();
  updateStatus();
}

void MainWindow::updateStatus() {
  const QString file = fromPath(model_.state.currentCotepePath);
  // A note about the file open before would hide which file is open now.
  if (model_.state.currentCotepePath != statusFilePath_) status_->clearMessage();
  statusFilePath_ = model_.state.currentCotepePath;
  statusTolerance_->setText(toleranceNote());
  statusFile_->setText(file.isEmpty() ? utf8("Arquivo: nenhum") : utf8("Arquivo: ") + QFileInfo(file).fileName());
  statusFile_->setToolTip(file);
  statusLibrary_->setText(catalogue_.loadedLibrary() ? utf8("Biblioteca: %1, porta %2")
                                                           .arg(fromPath(catalogue_.libraryPath()), fromCp1252(model_.state.portName))
                                                     : utf8("Biblioteca: nenhuma carregada"));
  const QString folder = QDir::currentPath();
  statusFolder_->setText(utf8("Pasta de trabalho: ") + shownPath(folder));
  statusFolder_->setToolTip(folder);
  updateOrigins();
}

QString MainWindow::toleranceNote() const {
  if (!model_.lastToleranceCents || model_.lastValidatedPath.empty()) return {};
  return utf8("Tolerância: R$ %1").arg(QString::fromStdString(toleranceText(*model_.lastToleranceCents)));
}

void MainWindow::updateOrigins() {
  const std::string& open = model_.state.currentCotepePath;
  const auto mark = [this, &open](QWidget* tab, OriginBar* bar, const std::string& resultsOf, const QString& note) {
    bar->setFiles(resultsOf, open, note);
    const int index = tabs_->indexOf(tab);
    tabs_->setTabToolTip(index, bar->isHidden() ? QString() : bar->text());
    tabs_->setTabIcon(index, bar->isForeign() ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
  };
  // The validation's tabs say which tolerance their totals were held to.
  const QString tolerance = toleranceNote();
  mark(findings_, findings_->origin(), model_.lastValidatedPath, tolerance);
  mark(indicators_, indicators_->origin(), model_.lastValidatedPath, tolerance);
  mark(reconciliation_, reconciliation_->origin(), model_.lastValidatedPath, tolerance);
  mark(record_, record_->origin(), record_->shownPath(), QString());
}

void MainWindow::stopLoadingLog() {
  if (logPieces_ != nullptr) logPieces_->stop();
  pendingLog_.clear();
  logLoaded_ = 0;
}

void MainWindow::appendLogPiece() {
  const auto started = std::chrono::steady_clock::now();
  QTextCursor cursor(results_->document());
  cursor.movePosition(QTextCursor::End);
  while (loadingLog() && std::chrono::steady_clock::now() - started < kLogTurn) {
    const std::size_t end = pieceEnd(pendingLog_, logLoaded_, kLogPiece);
    cursor.insertText(fromCp1252(std::string_view(pendingLog_).substr(logLoaded_, end - logLoaded_)));
    logLoaded_ = end;
  }
  if (!loadingLog()) stopLoadingLog();
}

void MainWindow::showOutput() {
  stopLoadingLog();
  highlighter_->setActive(false);  // a printer's text is not a log
  results_->setPlainText(fromCp1252(model_.state.outputText));
  output_->setCurrentWidget(results_);
  fileView_->showFile(nullptr);
}

void MainWindow::showFile() {
  if (model_.shownFile.pieces.empty()) return showOutput();
  stopLoadingLog();
  highlighter_->setActive(false);
  results_->clear();
  fileView_->showFile(&model_.shownFile);
  output_->setCurrentWidget(fileView_);
  tabs_->setCurrentWidget(output_);
}

void MainWindow::showValidation() {
  stopLoadingLog();
  highlighter_->setActive(false);
  // The log's first piece now, the rest from the event loop: a log of a hundred
  // thousand findings never holds the window still while it goes in.
  pendingLog_ = model_.state.outputText;
  logLoaded_ = pieceEnd(pendingLog_, 0, kFirstLogPiece);
  results_->setPlainText(fromCp1252(std::string_view(pendingLog_).substr(0, logLoaded_)));
  if (loadingLog()) {
    if (logPieces_ == nullptr) {
      logPieces_ = new QTimer(this);
      logPieces_->setInterval(0);
      connect(logPieces_, &QTimer::timeout, this, &MainWindow::appendLogPiece);
    }
    logPieces_->start();
  } else {
    stopLoadingLog();
  }
  output_->setCurrentWidget(results_);
  fileView_->showFile(nullptr);
  // The first finding after the header, at the top of the view.
  for (QTextBlock block = results_->document()->begin(); block.isValid(); block = block.next()) {
    if (!isFindingLine(block.text())) continue;
    results_->setTextCursor(QTextCursor(block));
    results_->verticalScrollBar()->setValue(block.blockNumber());
    break;
  }
  highlighter_->setActive(true);  // coloured now, not at the next event
  currentFinding_ = -1;
  // "Registro" showed a record of the results just replaced: it starts over, and
  // "Próximo achado" goes to the first of the new findings.
  record_->clear();
  record_->setNavigation(false, !model_.lastFindings.empty());
  findings_->setLogActions(!model_.lastValidatedPath.empty() && model_.lastValidatedPath == model_.state.currentCotepePath);
  tabs_->setCurrentWidget(output_);
  // The tabs of a flood of findings are filled one per turn of the event loop, the
  // window repainting between them; a later validation drops what is left.
  const std::uint64_t run = ++shownRun_;
  const std::vector<std::function<void()>> fills = {
      [this] {
        // A run that could not read the file has no counts to show in the tab's title.
        findings_->setFindings(&model_.lastFindings, model_.lastValidationRan ? model_.lastValidatedPath : std::string());
        tabs_->setTabText(tabs_->indexOf(findings_), findings_->tabTitle());
        const auto& reconciliation = model_.lastReconciliation;
        findings_->setCauseNotice(reconciliation && !reconciliation->complete
                                      ? fromCp1252(switchedOffNotice(*reconciliation)) + "."
                                      : QString());
      },
      [this] {
        indicators_->setIndicators(&model_.lastIndicators, model_.lastValidatedPath);
        tabs_->setTabText(tabs_->indexOf(indicators_), indicators_->tabTitle());
      },
      [this] { reconciliation_->setReconciliation(model_.lastReconciliation); }};
  if (model_.lastFindings.size() < kFindingsAtOnce) {
    tabsPending_ = 0;
    for (const auto& fill : fills) fill();
    return;
  }
  // Until they are filled the tables hold nothing: the results they pointed at are the new ones now.
  findings_->setFindings(nullptr);
  indicators_->setIndicators(nullptr);
  tabsPending_ = fills.size();
  for (QWidget* tab : {static_cast<QWidget*>(findings_), static_cast<QWidget*>(indicators_)})
    tabs_->setTabText(tabs_->indexOf(tab), tabs_->tabText(tabs_->indexOf(tab)).section(' ', 0, 0) + utf8(" (carregando…)"));
  fillLater(run, fills, 0);
}

void MainWindow::fillLater(std::uint64_t run, std::vector<std::function<void()>> fills, std::size_t next) {
  QTimer::singleShot(0, this, [this, run, fills = std::move(fills), next]() mutable {
    if (run != shownRun_) return;
    fills[next]();
    --tabsPending_;
    if (next + 1 < fills.size()) fillLater(run, std::move(fills), next + 1);
  });
}

void MainWindow::validate(bool formatOnly) {
  switch (model_.runValidationFromWindow(job_, formatOnly)) {
    case WindowValidation::Shown:
      return showValidation();
    case WindowValidation::Cancelled:
      return status_->showMessage(utf8("Validação interrompida: os resultados anteriores continuam na tela."), kStatusShown);
    case WindowValidation::NotRun:
      return status_->showMessage(utf8("Validação não feita: os resultados anteriores continuam na tela."), kStatusShown);
  }
}

void MainWindow::openFinding(int index) {
  const auto& all = model_.lastFindings;
  if (index < 0 || index >= static_cast<int>(all.size())) return;
  currentFinding_ = index;
  const Finding& finding = all[static_cast<std::size_t>(index)];
  record_->showLine(model_.lastValidatedPath, finding.place.line, &finding);
  record_->setNavigation(index > 0, index + 1 < static_cast<int>(all.size()));
  showRecord();
}

void MainWindow::showRecord() {
  // Keyboard work goes on in the record: a focus left on a hidden view would fall
  // to whatever comes next, a button of the command panel perhaps.
  QWidget* focus = QApplication::focusWidget();
  const bool keepFocus = focus != nullptr && record_->isAncestorOf(focus);
  tabs_->setCurrentWidget(record_);
  if (!keepFocus && isVisible()) record_->fields()->setFocus();
  updateOrigins();
}

void MainWindow::openLine(int line) {
  const auto& all = model_.lastFindings;
  for (std::size_t i = 0; i < all.size(); ++i)
    if (all[i].place.line == line) return openFinding(static_cast<int>(i));
  showValidatedLine(line);
}

void MainWindow::openIndicator(int index) {
  const auto& all = model_.lastIndicators;
  if (index < 0 || index >= static_cast<int>(all.size())) return;
  // Its record with the field it questions highlighted and its sentence over them;
  // an indicator of the whole file (no line) has only its sentence.
  const Indicator& indicator = all[static_cast<std::size_t>(index)];
  currentFinding_ = -1;
  const QString sentence = fromCp1252(indicator.sentence);
  if (indicator.line > 0)
    record_->showLine(model_.lastValidatedPath, indicator.line, indicatorField(indicator), sentence,
                      indicator.level != IndicatorLevel::Alerta);
  else
    record_->showNoRecord(utf8("Este indício é do arquivo inteiro: não aponta um registro."), sentence);
  record_->setNavigation(false, false);
  showRecord();
}

void MainWindow::showValidatedLine(int line) {
  currentFinding_ = -1;
  record_->showLine(model_.lastValidatedPath.empty() ? model_.state.currentCotepePath : model_.lastValidatedPath, line, nullptr);
  record_->setNavigation(false, false);
  showRecord();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A double click on "Linha N" of the log opens that record.
  if (watched == results_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QString text = results_->cursorForPosition(mouse->position().toPoint()).block().text();
    static const QRegularExpression linha("Linha (\\d+)");
    const QRegularExpressionMatch match = linha.match(text);
    if (match.hasMatch() && !model_.lastValidatedPath.empty()) {
      openLine(match.captured(1).toInt());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  openDropped(urls);
}

void MainWindow::openDropped(const QList<QUrl>& urls) {
  if (urls.size() != 1 || !urls.front().isLocalFile() || !QFileInfo(urls.front().toLocalFile()).isFile()) {
    ui_.showMessage("Solte sobre a janela um único arquivo COTEPE (não uma pasta nem vários arquivos)."_cp, "Aviso",
                    Icon::Warning);
    return;
  }
  const QString path = urls.front().toLocalFile();
  if (openChosenFile([this, &path] { return model_.openCotepeFile(toPath(path)); }))
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ui_)) qt->suggestFile(path);
  updateStatus();
}

bool MainWindow::openChosenFile(const std::function<bool()>& open) {
  const bool showingFile = output_->currentWidget() == fileView_;
  fileView_->showFile(nullptr);  // the model may replace the file it shows
  if (open()) {
    showFile();
    return true;
  }
  // Cancelled, refused or unreadable: the window stays as it was.
  if (showingFile) fileView_->showFile(&model_.shownFile);
  return false;
}

bool MainWindow::refusedAsInput(const std::string& chosen, bool log) {
  const std::string& audited = model_.lastValidatedPath;
  if (!sameFile(chosen, audited) && !(log && sameFile(chosen, audited + ".log"))) return false;
  ui_.showMessage(toCp1252(utf8("%1 é o arquivo auditado ou o log da validação dele e não será substituído. "
                                "Escolha outro nome.")
                               .arg(fromPath(chosen))),
                  "Erro!", Icon::Error);
  return true;
}

void MainWindow::saveLogAs() {
  const std::string log = model_.lastValidatedPath + ".log";
  // Not the log's own name: in its folder that is the one name a copy cannot take.
  const std::string name = std::filesystem::path(model_.lastValidatedPath).stem().string() + "_validacao.log";
  const auto chosen = ui_.chooseOpenFile(
      OpenFileRequest{"*.log", name, "Arquivos de log (*.log)|*.log||", false, true, "Salvar log como"});
  if (!chosen) return;
  if (sameFile(log, *chosen)) {
    status_->showMessage(utf8("O log já está em %1.").arg(fromPath(*chosen)), kStatusShown);
    return;
  }
  if (refusedAsInput(*chosen, false)) return;
  QFile in(fromPath(log));
  const QByteArray bytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
  if (!in.isOpen() || in.error() != QFileDevice::NoError) {
    ui_.showMessage(toCp1252(utf8("Não foi possível ler o log %1: %2").arg(fromPath(log), in.errorString())), "Erro!",
                    Icon::Error);
    return;
  }
  if (const std::string failure = saveWhole(*chosen, bytes); !failure.empty()) {
    ui_.showMessage(failure, "Erro!", Icon::Error);
    return;
  }
  status_->showMessage(utf8("Log de %1 gravado em %2.")
                           .arg(QFileInfo(fromPath(model_.lastValidatedPath)).fileName(), fromPath(*chosen)),
                       kStatusShown);
}

void MainWindow::printFindings() {
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(utf8("Imprimir achados"));
  if (dialog.exec() != QDialog::Accepted) return;
  QTextDocument document;
  document.setHtml("<h3>" + fromPath(model_.lastValidatedPath).toHtmlEscaped() + "</h3>" + findings_->printableHtml());
  document.print(&printer);
}

void MainWindow::writeReport() {
  const std::string& file = model_.lastValidatedPath;
  if (file.empty()) return;
  const std::string name = std::filesystem::path(file).stem().string() + "_relatorio.html";
  const auto chosen = ui_.chooseOpenFile(OpenFileRequest{"*.html", name, "Páginas HTML (*.html)|*.html||"_cp, false,
                                                         true, "Salvar relatório de auditoria"_cp});
  if (!chosen || refusedAsInput(*chosen, true)) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  report::ReportOptions options;
  options.generatedAt = report::localDateTime();
  options.version = kVersion;
  // The tolerance of the results shown, which the report restates.
  const report::ReportedFile reported = report::validateForReport(file, model_.lastToleranceCents.value_or(0), false,
                                                                  catalogue_.startDirectory().string(), options.findingsPerGroup);
  const std::string failure = report::writeAuditReport(*chosen, {reported}, options);
  QApplication::restoreOverrideCursor();
  if (!failure.empty()) {
    ui_.showMessage(utf8ToCp1252(failure), "Erro!", Icon::Error);
    return;
  }
  status_->showMessage(utf8("Relatório de %1 gravado em %2.").arg(QFileInfo(fromPath(file)).fileName(), fromPath(*chosen)),
                       kStatusShown);
  if (!openDocument(fromPath(*chosen)))
    ui_.showMessage("O relatório foi gravado, mas não foi possível abri-lo no navegador."_cp, "Aviso", Icon::Warning);
}

void MainWindow::confrontEfd() {
  const std::string& cotepe = model_.lastValidatedPath.empty() ? model_.state.currentCotepePath : model_.lastValidatedPath;
  // The validated file's log is written again as its validation wrote it.
  const EfdWorkbench::Outcome outcome = efdWorkbench_.confront(
      job_, cotepe, model_.state.toleranceText, model_.lastValidatedPath.empty() ? std::nullopt : model_.lastToleranceCents);
  if (outcome == EfdWorkbench::Outcome::Cancelled)
    status_->showMessage(utf8("Confronto com a EFD interrompido: os resultados anteriores continuam na tela."), kStatusShown);
  if (outcome != EfdWorkbench::Outcome::Shown) return;
  efd_->setReview(&*efdWorkbench_.last);
  tabs_->setTabText(tabs_->indexOf(efd_), efd_->tabTitle());
  tabs_->setCurrentWidget(efd_);
  efdWorkbench_.tellProblems();
}

void MainWindow::exportReconciliation() {
  if (!model_.lastReconciliation) return;
  // Named after the validated file, so the tables of several files never take one name.
  const std::string name = std::filesystem::path(model_.lastValidatedPath).stem().string() + "_conciliacao.csv";
  const auto chosen = ui_.chooseOpenFile(OpenFileRequest{"*.csv", name, "Arquivos CSV (*.csv)|*.csv||", false, true,
                                                         "Salvar conciliação em CSV"_cp});
  if (!chosen || refusedAsInput(*chosen, true)) return;
  const std::string csv = reconciliationCsv(*model_.lastReconciliation);
  if (const std::string failure = saveWhole(*chosen, QByteArray::fromStdString(csv)); !failure.empty()) {
    ui_.showMessage("Não foi possível gravar o arquivo CSV da conciliação. "_cp + failure, "Erro!", Icon::Error);
    return;
  }
  status_->showMessage(utf8("Conciliação de %1 gravada em %2.")
                           .arg(QFileInfo(fromPath(model_.lastValidatedPath)).fileName(), fromPath(*chosen)),
                       kStatusShown);
}

bool MainWindow::openInViewer(const QString& path) {
  auto* opener = new QProcess(this);
  opener->setProgram("xdg-open");
  opener->setArguments({path});
  opener->setProcessChannelMode(QProcess::ForwardedChannels);
  connect(opener, &QProcess::finished, this, [this, opener, path](int code, QProcess::ExitStatus how) {
    opener->deleteLater();
    if (how == QProcess::NormalExit && code == 0) return;
    ui_.showMessage(toCp1252(utf8("Não foi possível abrir %1: nenhum programa do sistema conseguiu mostrá-lo "
                                  "(xdg-open terminou com o código %2). Abra o arquivo no navegador ou visualizador.")
                                 .arg(path)
                                 .arg(code)),
                    "Aviso", Icon::Warning);
  });
  opener->start();
  if (opener->waitForStarted()) return true;
  delete opener;  // never started: no end to report
  return false;
}

void MainWindow::selectManufacturer() {
  takeControls();
  QStringList names;
  for (const std::string& name : catalogue_.selectManufacturer(model_.state.manufacturerName)) names << fromCp1252(name);
  names.removeDuplicates();
  names.sort();
  models_->clear();
  models_->addItems(names);
  models_->setCurrentIndex(-1);
  model_.state.modelName.clear();
}

void MainWindow::selectModel() {
  takeControls();
  catalogue_.selectModel(ui_, model_.state.manufacturerName, model_.state.modelName, model_.state.portName);
  updateGroupEnabling();
  updateStatus();
}

void MainWindow::selectPort() {
  takeControls();
  catalogue_.selectPort(model_.state.portName, model_.state.modelName);
  updateStatus();
}

void MainWindow::updateGroupEnabling() {
  const bool noDetailTape = catalogue_.modelInGroup(5);
  for (int kind = 1; kind <= 3; ++kind) kindChoice(kind)->setEnabled(!noDetailTape);
  // A greyed choice cannot stay the one the commands use.
  if (QAbstractButton* checked = kinds_->checkedButton(); checked != nullptr && !checked->isEnabled()) {
    kindChoice(0)->setChecked(true);
    model_.state.acquisitionKind = AcquisitionKind::Mf;
  }
}

void MainWindow::runPrinterCommand(void (*command)(PrinterCommandContext&)) {
  QPushButton* bitmap = button("lerBitmapRZ");
  // What the window shows now: a command that leaves the text and the file alone
  // leaves the file view too.
  std::string shownText = model_.state.outputText;
  std::string shownPath = model_.state.currentCotepePath;
  const auto show = [this, &shownText, &shownPath, bitmap] {
    const bool same = shownText == model_.state.outputText && shownPath == model_.state.currentCotepePath;
    bitmap->setEnabled(model_.state.readBitmapEnabled);
    if (same && output_->currentWidget() == fileView_) return;
    showOutput();
    shownText = model_.state.outputText;
    shownPath = model_.state.currentCotepePath;
  };
  PrinterCommandContext context{model_.state, catalogue_, ui_, job_, show};
  command(context);
  show();
}

void MainWindow::useInstalledFiles(const std::filesystem::path& libraryFolder, const std::filesystem::path& manual) {
  catalogue_.setLibraryFallback(libraryFolder);
  installedManual_ = manual;
}

QString MainWindow::manualPath() const {
  // The manual lies in the start directory; the current one follows the commands.
  const QString own = QDir(fromPath(model_.startDirectory)).absoluteFilePath("Manual_Tavex.pdf");
  if (QFileInfo::exists(own) || installedManual_.empty() || !QFileInfo::exists(fromPath(installedManual_.string())))
    return own;
  return fromPath(installedManual_.string());
}

void MainWindow::openManual() {
  const QString path = manualPath();
  if (QFileInfo::exists(path) && openDocument(path)) return;
  ui_.showMessage(kManualNotOpened, "Erro!", Icon::Error);
}

void MainWindow::quitApplication() { reject(); }

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Escape and Enter run "Sair" and "Ajuda" from the command panel only. In the
  // results area they belong to the view that has the focus (which has had its
  // turn before the key reaches here): they neither end the program nor open the manual.
  const int key = event->key();
  QWidget* focus = QApplication::focusWidget();
  if ((key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) && focus != nullptr &&
      (focus == tabs_ || tabs_->isAncestorOf(focus))) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MainWindow::reject() {
  catalogue_.unloadManufacturerLibrary();
  QDialog::reject();
}

}  // namespace tavex::app
