#include "app/file_view.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <algorithm>

#include "app/qt_text.h"

namespace tavex::app {

void FileLinesModel::setFile(const ShownFile* file) {
  beginResetModel();
  file_ = file;
  endResetModel();
}

int FileLinesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || file_ == nullptr ? 0 : static_cast<int>(file_->pieces.size());
}

QVariant FileLinesModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || file_ == nullptr) return {};
  if (role == Qt::SizeHintRole) return rowSize_;
  if (role != Qt::DisplayRole) return {};
  return QString("%1 - ").arg(index.row() + 1, 8, 10, QChar('0')) +
         fromCp1252(file_->piece(static_cast<std::size_t>(index.row())));
}

FileView::FileView(QWidget* parent) : QListView(parent), lines_(new FileLinesModel(this)) {
  setModel(lines_);
  setUniformItemSizes(true);  // no row is measured: scrolling 300,000 lines stays smooth
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setTextElideMode(Qt::ElideNone);
  setWordWrap(false);
}

void FileView::showFile(const ShownFile* file) {
  // Rows share one size (the view measures no row), wide enough for the longest.
  std::size_t longest = 0;
  if (file != nullptr)
    for (const Piece& p : file->pieces) longest = std::max(longest, p.length);
  const QFontMetrics metrics(font());
  lines_->setRowSize(QSize(metrics.horizontalAdvance(QChar('0')) * static_cast<int>(longest + 12), metrics.height() + 2));
  lines_->setFile(file);
  scrollToTop();
}

QString FileView::text(int first, int last) const {
  QStringList rows;
  for (int row = std::max(0, first); row <= last && row < lines_->rowCount(); ++row)
    rows << lines_->data(lines_->index(row), Qt::DisplayRole).toString();
  return rows.join('\n');
}

void FileView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    QModelIndexList selected = selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end());
    QStringList rows;
    for (const QModelIndex& index : selected) rows << index.data().toString();
    QApplication::clipboard()->setText(rows.join('\n'));
    return;
  }
  QListView::keyPressEvent(event);
}

}  // namespace tavex::app
