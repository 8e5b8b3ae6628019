// The list of files to convert, as a table model for the window's list view
// and for vantrel-batch. Rows are added by Add, edited by Remove, Clear,
// Move Up and Move Down, and their status is updated by a batch. The model
// knows nothing of selection: the list actions take the selected rows and
// give back the row to select afterwards.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <vector>

#include "app/file_row.h"
#include "app/row_plan.h"

namespace vantrel::app {

class FileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The list view's columns; Path is there but zero wide.
  enum Column { InputNameColumn, DurationColumn, TypeColumn, OutputNameColumn, StatusColumn, PathColumn, ColumnCount };
  // The same on every column of a row. The estimates have no column of
  // their own: the window shows them as tooltips, after the row's full
  // input and output paths; the roles give the raw numbers.
  enum Role {
    PathRole = Qt::UserRole + 1,
    StatusRole,          // RowStatus as int
    FailureReasonRole,   // QString, empty unless Failed
    SecondsLeftRole,     // qint64, invalid when unknown
    EstimatedBytesRole,  // qint64, invalid when unknown
    DurationUsRole,      // qint64, negative when unknown
  };

  explicit FileListModel(QObject* parent = nullptr);

  static QString ColumnTitle(int column);
  // Pixels, as the list view lays its columns out.
  static int ColumnWidth(int column);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const FileRow& fileRow(int row) const { return rows_.at(size_t(row)); }
  int size() const { return int(rows_.size()); }

  // ---- list actions ----
  // The new row's index. The same file may be appended any number of times.
  int append(FileRow row);
  // Several rows at the end in one change, so a view lays itself out once.
  void append(std::vector<FileRow> rows);
  // Removes each listed row once, the last first; rows outside the list are
  // ignored. False when nothing was removed.
  bool removeSelected(QList<int> selected);
  // False when the list was already empty (the caller then leaves the tasks
  // alone).
  bool clear();
  // Move the selected row one step; the result is the row to select after
  // the action: the moved row's new index, the same row when it cannot go
  // further, -1 when no row was selected.
  int moveUp(int selected);
  int moveDown(int selected);

  // ---- a batch's updates; rows outside the list are ignored ----
  // Every row " ", its reason and estimates of time forgotten.
  void markAllQueued();
  void setConverting(int row, int64_t currentMs, int64_t totalMs, std::optional<int64_t> secondsLeft);
  void setStatus(int row, RowStatus status);
  void setFailed(int row, const QString& reason);
  void setEstimatedBytes(int row, std::optional<int64_t> bytes);
  void setOutputName(int row, const QString& name);
  // The file a completed row wrote; cleared by any other status.
  void setOutputPath(int row, const QString& path);

  // The list in one line, for the band above it: "3 files, 01:02:05 in
  // all, about 48.2 MB of output". Durations and sizes the rows' plans do
  // not know are left out and said to be; an empty list tells how to start.
  QString summary() const;

  // Every row's plan made again for these choices, from what its file was
  // found to hold: one change for the whole list. Also the output target.
  void replan(const AddFileSettings& settings);
  // Where the rows' outputs go: folder (ending in "/") and the profile's
  // extension with its dot. The tooltips name each row's output file from
  // them until the batch has written it.
  void setOutputTarget(const QString& folder, const QString& extension);
  // The row's output file: the one written, else the one planned.
  QString outputPathOf(const FileRow& row) const;

 private:
  int move(int from, int to);
  void rowChanged(int row);
  QVariant displayText(const FileRow& row, int column) const;
  QString toolTip(const FileRow& row, int column) const;
  QString rowNote(const FileRow& row, int column) const;

  std::vector<FileRow> rows_;
  QString outputFolder_;
  QString outputExtension_;
};

}  // namespace vantrel::app
