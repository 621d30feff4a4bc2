// Pictures of the window and its dialogs for the manual and for checking the
// layout by eye. Written only when TAVEX_SCREENSHOTS names a folder; skipped
// otherwise.
#include <QApplication>
#include <QPushButton>
#include <QTabWidget>

#include "app/about_dialog.h"
#include "app/findings_view.h"
#include "app/indicators_view.h"
#include "app/main_window.h"
#include "app/reconciliation_view.h"
#include "app/paf_dialog.h"
#include "app/record_view.h"
#include <QImage>
#include <QStackedWidget>
#include "signature/paf_signature.h"
#include "app_fixture.h"
#include "support/files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {
namespace {

class Screenshots : public WindowTest {};

TEST_F(Screenshots, MainWindowAndDialogs) {
  const QByteArray folder = qgetenv("TAVEX_SCREENSHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "set TAVEX_SCREENSHOTS to a folder to write the pictures";
  ScriptedUserInterface ui;
  const std::string start = std::string(TAVEX_BINARY_DIR) + "/exemplos";
  app::MainWindow window(ui, start);
  window.resize(1024, 768);
  ui.answer(start + "/tdm_valido.txt");
  window.button("lerRegistroSalvo")->click();
  window.show();
  EXPECT_TRUE(window.grab().save(QString::fromUtf8(folder) + "/janela_principal.png"));
  window.button("validarArquivoTexto")->click();
  EXPECT_TRUE(window.grab().save(QString::fromUtf8(folder) + "/janela_validacao.png"));
  // The audit tabs over a file whose E13 disagrees with its documents.
  ui.answer(start + "/tdm_total_e13_divergente.txt");
  window.button("lerRegistroSalvo")->click();
  window.button("validarArquivoTexto")->click();
  window.tabs()->setCurrentWidget(window.findings());
  EXPECT_TRUE(window.grab().save(QString::fromUtf8(folder) + "/achados.png"));
  window.tabs()->setCurrentWidget(window.reconciliation());
  EXPECT_TRUE(window.grab().save(QString::fromUtf8(folder) + "/conciliacao.png"));
  window.openFinding(0);
  EXPECT_TRUE(window.grab().save(QString::fromUtf8(folder) + "/registro.png"));
  // Another file opened over those results: the tabs say whose results they are.
  ui.answer(start + "/tdm_valido.txt");
  window.button("lerRegistroSalvo")->click();
  window.tabs()->setCurrentWidget(window.findings());
  EXPECT_TRUE(window.grab().save(QString::fromUtf8(folder) + "/achados_de_outro_arquivo.png"));
  // The indicators of the file made to show them.
  ui.answer(start + "/tdm_indicios.txt");
  window.button("lerRegistroSalvo")->click();
  window.button("validarArquivoTexto")->click();
  window.tabs()->setCurrentWidget(window.indicators());
  EXPECT_TRUE(window.grab().save(QString::fromUtf8(folder) + "/indicios.png"));
  // Each tab with findings at three screen sizes: a format error and the totals after it
  // (Saída, Achados with the cause first, Conciliação, Registro) and the indicators' file.
  // The example with the date of its first coupon (E14, DATA_INICIO at 59) made of letters.
  TempDir dir;
  const std::string damaged = dir.file("tdm_data_invalida.txt");
  std::string text = readFile(start + "/tdm_total_e13_divergente.txt");
  text.replace(text.find("\nE14") + 1 + 58, 8, "2012AB02");
  writeFile(damaged, text);
  for (const QSize size : {QSize(1024, 768), QSize(1366, 768), QSize(1920, 1080)}) {
    app::MainWindow bench(ui, start);
    bench.resize(size);
    bench.show();
    const QString suffix = QString("_%1x%2.png").arg(size.width()).arg(size.height());
    const auto shoot = [&](QWidget* tab, const char* name) {
      bench.tabs()->setCurrentWidget(tab);
      QApplication::processEvents();
      // In 256 colours, as small as PNG makes them: these pictures are kept with the docs.
      const QImage picture = bench.grab().toImage().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
      EXPECT_TRUE(picture.save(QString::fromUtf8(folder) + "/bancada_" + name + suffix, "PNG", 0));
    };
    ui.answer(damaged);
    bench.button("lerRegistroSalvo")->click();
    bench.button("validarArquivoTexto")->click();
    shoot(bench.output(), "saida");
    bench.findings()->showCauseFirst(true);
    shoot(bench.findings(), "achados");
    shoot(bench.reconciliation(), "conciliacao");
    bench.openFinding(0);
    shoot(bench.record(), "registro");
    ui.answer(start + "/tdm_indicios.txt");
    bench.button("lerRegistroSalvo")->click();
    bench.button("validarArquivoTexto")->click();
    shoot(bench.indicators(), "indicios");
  }
  app::AboutDialog about;
  about.show();
  EXPECT_TRUE(about.grab().save(QString::fromUtf8(folder) + "/sobre.png"));
  app::PAF_Dlg paf(ui, start + "/" + kSoftwareHouseFolder);
  paf.show();
  EXPECT_TRUE(paf.grab().save(QString::fromUtf8(folder) + "/paf_ecf.png"));
}

}  // namespace
}  // namespace tavex::testing
