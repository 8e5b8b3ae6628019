#include "app/typed_file_names.h"

#include <QDir>

namespace vantrel::app {
namespace {

QString AbsoluteName(const QString& name, const QString& folder) {
  QString path = name;
  if (path == QStringLiteral("~") || path.startsWith(QStringLiteral("~/"))) path = QDir::homePath() + path.mid(1);
  if (QDir::isRelativePath(path)) path = QDir(folder).filePath(path);
  return QDir::cleanPath(path);
}

// Quoted names whole, unquoted stretches split at blanks.
QStringList SplitNames(const QString& text) {
  QStringList names;
  QString current;
  bool quoted = false;
  const auto flush = [&] {
    if (!current.isEmpty()) names.append(current);
    current.clear();
  };
  for (const QChar c : text) {
    if (c == QLatin1Char('"')) {
      flush();
      quoted = !quoted;
    } else if (!quoted && c.isSpace()) {
      flush();
    } else {
      current += c;
    }
  }
  flush();
  return names;
}

}  // namespace

QStringList TypedFileNames(const QString& text, const QString& folder) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return {};
  const QStringList names = trimmed.contains(QLatin1Char('"')) ? SplitNames(trimmed) : QStringList{trimmed};
  QStringList paths;
  for (const QString& name : names) paths.append(AbsoluteName(name, folder));
  return paths;
}

bool IsTypedPattern(const QString& text) {
  bool quoted = false;
  for (const QChar c : text) {
    if (c == QLatin1Char('"')) quoted = !quoted;
    if (!quoted && (c == QLatin1Char('*') || c == QLatin1Char('?'))) return true;
  }
  return false;
}

}  // namespace vantrel::app
