// tavex-bench-janela: the window's two heavy moments, driven offscreen.
//  1. "Ler Registro Salvo" of a 30,000,000-byte file until the numbered text is
//     in the results box (target: under 2 s);
//  2. "Validar Arquivo Texto" of the same file until its log is shown, next to the
//     validation alone (target: no more than the validation plus 0.5 s).
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>

#include "app/main_window.h"
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
  std::printf("Ler Registro Salvo:     %.3f s (meta: < 2 s)\n", open);
  ui.answers.push_back(file);
  const double model = seconds([&] { window.model().openSavedCotepeFile(); });
  const double text = seconds([&] { (void)tavex::app::fromCp1252(window.model().outputText); });
  const QString converted = tavex::app::fromCp1252(window.model().outputText);
  const double set = seconds([&] {
    window.results()->setPlainText(converted);
    QApplication::processEvents();
  });
  std::printf("  leitura e numeração:  %.3f s; conversão: %.3f s; caixa: %.3f s\n", model, text, set);

  const double alone = seconds([&] { tavex::validateCotepeFile(ui, file, 0); });
  const double shown = seconds([&] {
    window.button("validarArquivoTexto")->click();
    QApplication::processEvents();
  });
  std::printf("validação sozinha:      %.3f s\n", alone);
  std::printf("validação com o log:    %.3f s (meta: <= %.3f s)\n", shown, alone + 0.5);
  std::filesystem::remove_all(folder);
  return 0;
}
