#include "app/origin_bar.h"

#include <QSizePolicy>
#include <filesystem>

#include "app/qt_text.h"

namespace tavex::app {

namespace {

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

OriginBar::OriginBar(QWidget* parent) : QLabel(parent) {
  setObjectName("origem");
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  // A long path must not widen the window: the text wraps within the tab.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setMargin(3);
  hide();
}

void OriginBar::setFiles(const std::string& resultsOf, const std::string& openFile, const QString& note) {
  foreign_ = !resultsOf.empty() && (openFile.empty() || !sameFile(resultsOf, openFile));
  setVisible(!resultsOf.empty());
  setToolTip(fromPath(resultsOf));
  const QString of = note.isEmpty() ? shownPath(resultsOf) : shownPath(resultsOf) + QString::fromUtf8(" · ") + note;
  if (!foreign_) {
    setText(QString::fromUtf8("Arquivo: %1").arg(of));
    setStyleSheet(QString());
    return;
  }
  setText(openFile.empty()
              ? QString::fromUtf8("Resultados de %1. Nenhum arquivo está aberto agora.").arg(of)
              : QString::fromUtf8("Resultados de %1, NÃO do arquivo aberto agora (%2). Valide o arquivo aberto para ver os dele.")
                    .arg(of, shownPath(openFile)));
  setStyleSheet("QLabel { background: #fff0c8; color: #6b4000; border: 1px solid #d9a400; }");
}

}  // namespace tavex::app
