// tavex-manual: builds Manual_Tavex.pdf from the Markdown source of the manual,
// with pictures of the real window taken offscreen from the example start
// directory.
//   tavex-manual MANUAL.md SAIDA.pdf PASTA_DE_EXEMPLOS
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>
#include <deque>
#include <filesystem>

#include "app/about_dialog.h"
#include "app/findings_view.h"
#include "app/reconciliation_view.h"
#include "app/main_window.h"
#include "app/paf_dialog.h"
#include "app/period_dialog.h"
#include "app/progress_dialog.h"
#include "jobs/worker_job.h"
#include "printer/period_dialogs.h"
#include "signature/paf_signature.h"

namespace {

// Answers the window's choosers from a list; shows nothing.
class ScriptedChoices : public tavex::UserInterface {
 public:
  std::deque<std::string> answers;
  void showMessage(std::string_view, std::string_view, tavex::Icon) override {}
  std::optional<std::string> chooseOpenFile(const tavex::OpenFileRequest&) override { return next(); }
  std::optional<std::string> chooseFolder(std::string_view) override { return next(); }
  tavex::WorkerOutcome runWithProgress(tavex::WorkerJob&, bool) override { return tavex::WorkerOutcome::NotStarted; }

 private:
  std::optional<std::string> next() {
    if (answers.empty()) return std::nullopt;
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
};

QImage picture(QWidget& widget) {
  widget.show();
  QApplication::processEvents();
  return widget.grab().toImage();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "Uso: tavex-manual MANUAL.md SAIDA.pdf PASTA_DE_EXEMPLOS\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The pictures show the example folder as a user's would be, under "~", not the
  // build machine's path to it.
  std::filesystem::path examplesFolder = std::filesystem::absolute(argv[3]).lexically_normal();
  if (!examplesFolder.has_filename()) examplesFolder = examplesFolder.parent_path();  // "exemplos/"
  qputenv("HOME", QByteArray::fromStdString(examplesFolder.parent_path().string()));
  QApplication application(argc, argv);
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString output = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2]));
  const std::string examples = argv[3];
  std::error_code ec;
  std::filesystem::current_path(examples, ec);

  std::map<QString, QImage> pictures;
  ScriptedChoices ui;
  {
    tavex::app::MainWindow window(ui, examples);
    window.resize(1024, 768);
    ui.answers.push_back(examples + "/tdm_valido.txt");
    window.button("lerRegistroSalvo")->click();
    pictures["janela_principal.png"] = picture(window);
    window.button("validarArquivoTexto")->click();
    pictures["janela_validacao.png"] = picture(window);
  }
  {
    // The audit tabs over a file whose E13 disagrees with its documents.
    tavex::app::MainWindow window(ui, examples);
    window.resize(1024, 768);
    ui.answers.push_back(examples + "/tdm_total_e13_divergente.txt");
    window.button("lerRegistroSalvo")->click();
    window.button("validarArquivoTexto")->click();
    window.tabs()->setCurrentWidget(window.findings());
    pictures["achados.png"] = picture(window);
    window.tabs()->setCurrentWidget(window.reconciliation());
    pictures["conciliacao.png"] = picture(window);
    window.openFinding(0);
    pictures["registro.png"] = picture(window);
  }
  {
    // A format error shown as the cause of the totals findings after it.
    tavex::app::MainWindow window(ui, examples);
    window.resize(1024, 768);
    ui.answers.push_back(examples + "/formato_com_erros.txt");
    window.button("lerRegistroSalvo")->click();
    window.button("validarArquivoTexto")->click();
    window.tabs()->setCurrentWidget(window.findings());
    window.findings()->showCauseFirst(true);
    pictures["causa_primeiro.png"] = picture(window);
  }
  {
    tavex::app::AboutDialog about;
    pictures["sobre.png"] = picture(about);
  }
  {
    tavex::app::PAF_Dlg paf(ui, examples + "/" + tavex::kSoftwareHouseFolder);
    pictures["paf_ecf.png"] = picture(paf);
  }
  {
    tavex::app::PeriodDialog period(ui, tavex::cotepeMfDialog(false, [](int) { return false; }));
    pictures["periodo.png"] = picture(period);
  }
  {
    tavex::WorkerJob job;
    tavex::app::CProgressDlg progress(job, false);
    for (int i = 0; i < 9; ++i) progress.tick();
    pictures["andamento.png"] = picture(progress);
  }

  QFile file(source);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "tavex-manual: não foi possível ler %s\n", argv[1]);
    return 2;
  }
  QTextDocument document;
  QFont body("Liberation Serif");
  body.setPointSize(11);
  document.setDefaultFont(body);
  document.setMarkdown(QString::fromUtf8(file.readAll()));  // (setting the text clears the resources)
  for (const auto& [name, image] : pictures)
    document.addResource(QTextDocument::ImageResource, QUrl(name),
                         image.width() > 640 ? image.scaledToWidth(640, Qt::SmoothTransformation) : image);

  QPdfWriter writer(output);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setTitle("Manual do Tavex");
  writer.setCreator("Tavex");
  document.print(&writer);
  if (!QFile::exists(output)) {
    std::fprintf(stderr, "tavex-manual: não foi possível gravar %s\n", argv[2]);
    return 2;
  }
  return 0;
}
