#include "app/file_list_model.h"

#include <algorithm>
#include <array>

namespace vantrel::app {

namespace {

struct ColumnInfo {
  const char* title;
  int width;
};

constexpr std::array<ColumnInfo, FileListModel::ColumnCount> kColumns = {{
    {"Input Filename", 150},
    {"Duration", 80},
    {"Type", 80},
    {"Output Filename", 150},
    {"Status", 93},
    {"Path", 0},
}};

QVariant OptionalNumber(const std::optional<int64_t>& value) {
  return value ? QVariant::fromValue<qint64>(*value) : QVariant();
}

}  // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

QString FileListModel::ColumnTitle(int column) {
  return column >= 0 && column < ColumnCount ? QString::fromLatin1(kColumns[size_t(column)].title) : QString();
}

int FileListModel::ColumnWidth(int column) {
  return column >= 0 && column < ColumnCount ? kColumns[size_t(column)].width : 0;
}

int FileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : size(); }

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  const FileRow& row = rows_[size_t(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return displayText(row, index.column());
    case Qt::ToolTipRole:
      return toolTip(row, index.column());
    case PathRole:
      return row.path;
    case StatusRole:
      return int(row.status);
    case FailureReasonRole:
      return row.failureReason;
    case SecondsLeftRole:
      return OptionalNumber(row.secondsLeft);
    case EstimatedBytesRole:
      return OptionalNumber(row.estimatedBytes);
    case DurationUsRole:
      return QVariant::fromValue<qint64>(row.durationUs);
    default:
      return {};
  }
}

QVariant FileListModel::displayText(const FileRow& row, int column) const {
  switch (column) {
    case InputNameColumn:
      return row.inputName;
    case DurationColumn:
      return row.durationText;
    case TypeColumn:
      return row.type;
    case OutputNameColumn:
      return row.outputName;
    case StatusColumn:
      return StatusText(row);
    case PathColumn:
      return row.path;
  }
  return {};
}

// Both full paths on every column: the columns show only names, and a long
// list may hold the same name from several folders.
QString FileListModel::toolTip(const FileRow& row, int column) const {
  QString text = QStringLiteral("Input: ") + row.path + QStringLiteral("\nOutput: ") + outputPathOf(row);
  const QString note = rowNote(row, column);
  if (!note.isEmpty()) text += QLatin1Char('\n') + note;
  return text;
}

// The reason of a failure on every column, so it shows wherever the pointer
// rests; otherwise the estimates on the columns they concern.
QString FileListModel::rowNote(const FileRow& row, int column) const {
  if (row.status == RowStatus::Failed) return row.failureReason;
  if (row.status == RowStatus::None && !row.verdict.isEmpty()) return row.verdict;
  if (column == StatusColumn && row.status == RowStatus::Converting && row.secondsLeft)
    return TimeLeftText(*row.secondsLeft);
  if (column == OutputNameColumn && (row.estimatedBytes || !row.pictureNote.isEmpty())) {
    QString note = row.pictureNote;
    if (row.estimatedBytes) {
      if (!note.isEmpty()) note += QLatin1Char('\n');
      note += QStringLiteral("Expected size: about ") + SizeText(*row.estimatedBytes);
      // Constant quality spends what each picture needs.
      if (row.estimateIsGuess) note += QStringLiteral(" (an estimate: the size follows the picture's detail)");
    }
    return note;
  }
  if ((column == InputNameColumn || column == TypeColumn) && !row.decodingNote.isEmpty()) return row.decodingNote;
  return {};
}

QString FileListModel::outputPathOf(const FileRow& row) const {
  return row.outputPath.isEmpty() ? outputFolder_ + row.outputName + outputExtension_ : row.outputPath;
}

void FileListModel::setOutputTarget(const QString& folder, const QString& extension) {
  if (folder == outputFolder_ && extension == outputExtension_) return;
  outputFolder_ = folder;
  outputExtension_ = extension;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(size() - 1, ColumnCount - 1), {Qt::ToolTipRole});
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  return ColumnTitle(section);
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int FileListModel::append(FileRow row) {
  const int at = size();
  beginInsertRows(QModelIndex(), at, at);
  rows_.push_back(std::move(row));
  endInsertRows();
  return at;
}

void FileListModel::append(std::vector<FileRow> rows) {
  if (rows.empty()) return;
  const int at = size();
  beginInsertRows(QModelIndex(), at, at + int(rows.size()) - 1);
  for (FileRow& row : rows) rows_.push_back(std::move(row));
  endInsertRows();
}

bool FileListModel::removeSelected(QList<int> selected) {
  std::sort(selected.begin(), selected.end(), std::greater<int>());
  selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
  bool removed = false;
  for (int row : selected) {
    if (row < 0 || row >= size()) continue;
    beginRemoveRows(QModelIndex(), row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    removed = true;
  }
  return removed;
}

bool FileListModel::clear() {
  if (rows_.empty()) return false;
  beginResetModel();
  rows_.clear();
  endResetModel();
  return true;
}

int FileListModel::moveUp(int selected) {
  if (selected < 0 || selected >= size()) return -1;
  return selected == 0 ? selected : move(selected, selected - 1);
}

int FileListModel::moveDown(int selected) {
  if (selected < 0 || selected >= size()) return -1;
  return selected == size() - 1 ? selected : move(selected, selected + 1);
}

// Qt names the destination as the row the moved one will stand before, so a
// step down is "before the row after next".
int FileListModel::move(int from, int to) {
  beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
  std::swap(rows_[size_t(from)], rows_[size_t(to)]);
  endMoveRows();
  return to;
}

void FileListModel::rowChanged(int row) { emit dataChanged(index(row, 0), index(row, ColumnCount - 1)); }

void FileListModel::markAllQueued() {
  if (rows_.empty()) return;
  for (FileRow& row : rows_) {
    row.status = RowStatus::Queued;
    row.failureReason.clear();
    row.secondsLeft.reset();
    row.convertedMs = -1;
    row.outputPath.clear();
  }
  emit dataChanged(index(0, 0), index(size() - 1, ColumnCount - 1));
}

void FileListModel::setConverting(int row, int64_t currentMs, int64_t totalMs, std::optional<int64_t> secondsLeft) {
  if (row < 0 || row >= size()) return;
  FileRow& r = rows_[size_t(row)];
  r.status = RowStatus::Converting;
  const std::optional<int64_t> percent = ProgressPercent(currentMs, totalMs);
  r.percent = percent.value_or(0);
  r.convertedMs = percent ? -1 : std::max<int64_t>(currentMs, 0);
  r.secondsLeft = secondsLeft;
  rowChanged(row);
}

void FileListModel::setStatus(int row, RowStatus status) {
  if (row < 0 || row >= size()) return;
  FileRow& r = rows_[size_t(row)];
  r.status = status;
  r.secondsLeft.reset();
  if (status != RowStatus::Failed) r.failureReason.clear();
  if (status != RowStatus::Completed) r.outputPath.clear();
  rowChanged(row);
}

void FileListModel::setFailed(int row, const QString& reason) {
  if (row < 0 || row >= size()) return;
  rows_[size_t(row)].failureReason = reason;
  setStatus(row, RowStatus::Failed);
}

void FileListModel::setEstimatedBytes(int row, std::optional<int64_t> bytes) {
  if (row < 0 || row >= size()) return;
  rows_[size_t(row)].estimatedBytes = bytes;
  rowChanged(row);
}

void FileListModel::setOutputPath(int row, const QString& path) {
  if (row < 0 || row >= size()) return;
  rows_[size_t(row)].outputPath = path;
  rowChanged(row);
}

void FileListModel::replan(const AddFileSettings& settings) {
  setOutputTarget(settings.outputFolder, QString::fromUtf8(ProfileAt(settings.choice.profile).extension));
  if (rows_.empty()) return;
  for (FileRow& row : rows_) {
    TakePlan(row, PlanRow(row.durationUs, row.video, settings));
  }
  emit dataChanged(index(0, 0), index(size() - 1, ColumnCount - 1));
}

void FileListModel::setOutputName(int row, const QString& name) {
  if (row < 0 || row >= size()) return;
  rows_[size_t(row)].outputName = name;
  rowChanged(row);
}

QString FileListModel::summary() const {
  if (rows_.empty()) return QStringLiteral("Add the videos to convert (Add, or drop them here), then press Convert.");
  int64_t durationUs = 0, bytes = 0;
  int unknownDurations = 0;
  for (const FileRow& row : rows_) {
    if (row.durationUs >= 0)
      durationUs += row.durationUs;
    else
      ++unknownDurations;
    // A file the choices cannot convert writes nothing.
    if (row.verdict.isEmpty() && row.estimatedBytes) bytes += *row.estimatedBytes;
  }
  const int count = size();
  QString text = count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
  if (unknownDurations < count) text += QStringLiteral(", ") + DurationText(durationUs) + QStringLiteral(" in all");
  if (unknownDurations > 0) text += QStringLiteral(" (%1 of unknown length)").arg(unknownDurations);
  if (bytes > 0) text += QStringLiteral(", about ") + SizeText(bytes) + QStringLiteral(" of output");
  return text;
}

}  // namespace vantrel::app
