#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "tavex_version.h"

namespace tavex::app {

namespace {

QLabel* line(QWidget* parent, const QString& text, const char* family, int pixelHeight, const char* colour,
             const char* name) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  QFont font(family);
  font.setPixelSize(pixelHeight);
  font.setBold(true);
  label->setFont(font);
  label->setStyleSheet(QString("color: %1;").arg(colour));
  return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("Sobre");
  setWindowTitle("Sobre");
  auto* layout = new QVBoxLayout(this);
  const char* red = "#ff0000";
  const char* blue = "#0000ff";
  layout->addWidget(line(this, "Tavex", "Bookman Old Style", 40, red, "nome"));
  layout->addWidget(line(this, fromCp1252("Versão "_cp) + QLatin1String(tavex::kVersionLong), "Times New Roman", 18, red, "versao"));
  layout->addWidget(line(this,
                         fromCp1252("Programa para geração de arquivos eletrônicos de dados extraídos de equipamentos ECF"_cp),
                         "Times New Roman", 18, blue, "descricao"));
  layout->addWidget(line(this, fromCp1252("Ferramenta de auditoria fiscal de ECF"_cp), "Times New Roman", 18, blue, "proprietario"));
  layout->addWidget(line(this, fromCp1252("Desenvolvido pela equipe Tavex"_cp), "Times New Roman", 18, blue, "desenvolvedor"));
  layout->addWidget(line(this, QString(), "Times New Roman", 18, blue, "vazio"));
  auto* close = new QPushButton("Fechar", this);
  close->setObjectName("fechar");
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(close, 0, Qt::AlignHCenter);
  resize(480, 344);
}

}  // namespace tavex::app
