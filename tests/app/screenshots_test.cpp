// Pictures of the window and its dialogs for the manual and for checking the
// layout by eye. Written only when TAVEX_SCREENSHOTS names a folder; skipped
// otherwise.
#include <QPushButton>

#include "app/about_dialog.h"
#include "app/main_window.h"
#include "app/paf_dialog.h"
#include "signature/paf_signature.h"
#include "app_fixture.h"
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
  app::AboutDialog about;
  about.show();
  EXPECT_TRUE(about.grab().save(QString::fromUtf8(folder) + "/sobre.png"));
  app::PAF_Dlg paf(ui, start + "/" + kSoftwareHouseFolder);
  paf.show();
  EXPECT_TRUE(paf.grab().save(QString::fromUtf8(folder) + "/paf_ecf.png"));
}

}  // namespace
}  // namespace tavex::testing
