// tavex-bench-janela: the window's heavy moments, driven offscreen.
//  1. "Ler Registro Salvo" of a 30,000,000-byte file until the file view shows it
//     (target: under 0.3 s and at most 5x md5sum of the same file);
//  2. "Validar Arquivo Texto" of the same file until its log, findings and
//     reconciliation are shown, next to the validation alone (target: no more
//     than the validation plus 0.3 s);
//  3. 100,000 findings into "Achados" (target: under 1 s).
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>

#include "app/file_view.h"
#include "app/findings_view.h"
#include "app/main_window.h"
#include "app/reconciliation_view.h"
#include "app/qt_text.h"
#include "generator.h"
#include "validation/validate.h"

namespace {

class Choices : public tavex::UserInterface {
 public:
  std::deque<std::string> answers;
  void showMessage(std::string_view, std::string_view, tavex::Icon) override {}
  std::optional<std::string> chooseOpenFile(const tavex::OpenFileRequest&) override {
    if (answers.empty()) return std::nullopt;
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> chooseFolder(std::string_view) override { return std::nullopt; }
  tavex::WorkerOutcome runWithProgress(tavex::WorkerJob&, bool) override { return tavex::WorkerOutcome::NotStarted; }
};

template <class F>
double seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const auto folder = std::filesystem::temp_directory_path() / "tavex-bench-janela";
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "tdm30.txt").string();
  {
    std::ofstream out(file, std::ios::binary);
    tavex::GeneratorOptions options;
    options.targetBytes = 29900000;  // just under the window's 30,000,000-byte limit
    tavex::generateCotepe(out, options);
  }
  std::printf("arquivo: %ju bytes\n", static_cast<std::uintmax_t>(std::filesystem::file_size(file)));

  Choices ui;
  tavex::app::MainWindow window(ui, folder.string());
  window.show();
  ui.answers.push_back(file);
  const double open = seconds([&] {
    window.button("lerRegistroSalvo")->click();
    QApplication::processEvents();
  });
  const std::string md5 = "md5sum '" + file + "' > /dev/null";
  const double md5sum = seconds([&] { (void)std::system(md5.c_str()); });
  std::printf("Ler Registro Salvo:     %.3f s (meta: < 0.3 s e <= 5 x md5sum = %.3f s)\n", open, 5 * md5sum);
  const double scroll = seconds([&] {
    QScrollBar* bar = window.fileView()->verticalScrollBar();
    for (int step = 0; step < 100; ++step) {
      bar->setValue(bar->maximum() / 100 * step);
      window.fileView()->viewport()->repaint();
    }
  });
  std::printf("  100 telas roladas:    %.3f s (%.1f ms por tela)\n", scroll, scroll * 10);

  const double alone = seconds([&] { tavex::validateCotepeFile(ui, file, 0); });
  const double shown = seconds([&] {
    window.button("validarArquivoTexto")->click();
    QApplication::processEvents();
  });
  std::printf("validação sozinha:      %.3f s\n", alone);
  std::printf("validação na janela:    %.3f s (meta: <= %.3f s; %zu achados, %zu reduções)\n", shown, alone + 0.3,
              window.model().lastFindings.size(),
              window.model().lastReconciliation ? window.model().lastReconciliation->reductions.size() : std::size_t{0});

  using tavex::operator""_cp;
  const double tree = seconds([&] {
    window.reconciliation()->setReconciliation(window.model().lastReconciliation);
    QApplication::processEvents();
  });
  const double log = seconds([&] {
    window.showValidation();
    QApplication::processEvents();
  });
  std::printf("  conciliação sozinha:  %.3f s; tudo sem validar: %.3f s\n", tree, log);

  std::vector<tavex::Finding> many(100000);
  for (std::size_t i = 0; i < many.size(); ++i) {
    many[i].place.line = static_cast<int>(i + 1);
    many[i].place.recordType = 14;
    many[i].message = "Linha " + std::to_string(i + 1) + ": E14 -> Campo 5 com conteúdo inválido."_cp;
  }
  tavex::app::FindingsPanel panel;
  panel.resize(1000, 500);
  panel.show();
  const double fill = seconds([&] {
    panel.setFindings(&many);
    QApplication::processEvents();
  });
  const double sort = seconds([&] {
    panel.table()->sortByColumn(tavex::app::FindingsModel::MessageColumn, Qt::DescendingOrder);
    QApplication::processEvents();
  });
  std::printf("100.000 achados:        %.3f s (meta: < 1 s); ordenar por mensagem: %.3f s\n", fill, sort);
  std::filesystem::remove_all(folder);
  return 0;
}
