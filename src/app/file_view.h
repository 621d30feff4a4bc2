// The file "Ler Registro Salvo" read, shown as its numbered pieces through a
// model over the piece index: a 30 MB file costs no 30 MB text widget.
#pragma once

#include <QAbstractListModel>
#include <QListView>

#include "window/main_dialog.h"

namespace tavex::app {

// Row i is "%08d - " followed by piece i of the file (cp1252 shown as Unicode).
class FileLinesModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;
  // Shows `file` (kept alive and unchanged by the caller until the next call).
  void setFile(const ShownFile* file);
  // Every row's size hint (the view sets it to fit the longest piece).
  void setRowSize(QSize size) { rowSize_ = size; }
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const ShownFile* file_ = nullptr;
  QSize rowSize_;
};

// A list view over FileLinesModel in the results box's font; Ctrl+C copies the
// selected lines.
class FileView : public QListView {
  Q_OBJECT
 public:
  explicit FileView(QWidget* parent = nullptr);
  FileLinesModel* lines() const { return lines_; }
  // Shows `file` (kept alive and unchanged by the caller), or nothing with null.
  void showFile(const ShownFile* file);
  // The numbered text of rows [first, last] joined with line feeds.
  QString text(int first, int last) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  FileLinesModel* lines_;
};

}  // namespace tavex::app
