#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringList>

namespace vantrel::app {

namespace {

const QString kSection = QStringLiteral("options");

// The stored key of each option list, in the file's order.
struct ListKey {
  const char* name;
  OptionList list;
};
constexpr ListKey kListKeys[] = {
    {"VideoSize", OptionList::VideoSize},       {"AudioChannels", OptionList::AudioChannels},
    {"VideoBitrate", OptionList::VideoBitrate}, {"AudioBitrate", OptionList::AudioBitrate},
    {"FrameRate", OptionList::FrameRate},       {"AudioSampleRate", OptionList::AudioSampleRate},
};

// Keys in lower case, as the INI convention matches names without regard to
// case; the first of two equal keys wins.
using Values = StoredValues;

QString Unquoted(const QString& value) {
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')))
    return value.mid(1, value.size() - 2);
  return value;
}

Values ParseSection(const QString& text) {
  Values values;
  bool inSection = false;
  for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
    const QString line = rawLine.trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inSection = line.endsWith(QLatin1Char(']')) && line.mid(1, line.size() - 2).trimmed().toLower() == kSection;
      continue;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (!inSection || equals <= 0 || line.startsWith(QLatin1Char(';'))) continue;
    const QString key = line.left(equals).trimmed().toLower();
    if (!values.contains(key)) values.insert(key, Unquoted(line.mid(equals + 1).trimmed()));
  }
  return values;
}

// The stored number when it is one and lies in [0, count), else fallback.
int IndexOr(const Values& values, const char* key, int count, int fallback) {
  bool ok = false;
  const int index = values.value(QString::fromLatin1(key).toLower()).toInt(&ok, 10);
  return ok && index >= 0 && index < count ? index : fallback;
}

bool FlagOr(const Values& values, const char* key, bool fallback) {
  const QString lowerKey = QString::fromLatin1(key).toLower();
  if (!values.contains(lowerKey)) return fallback;
  return values.value(lowerKey) == QStringLiteral("True");
}

QString WithSlash(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

// Leading or trailing blanks, or quotes, would be lost on reading: such a
// value is written in quotes, which reading takes off again.
QString StoredText(const QString& value) {
  const bool guard = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace() ||
                                          value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''));
  return guard ? QLatin1Char('"') + value + QLatin1Char('"') : value;
}

QString Line(const char* key, const QString& value) {
  return QString::fromLatin1(key) + QLatin1Char('=') + value + QLatin1Char('\n');
}

QString FlagText(bool on) { return on ? QStringLiteral("True") : QStringLiteral("False"); }

}  // namespace

Settings DefaultSettings() {
  Settings settings;
  settings.outputFolder = QDir::homePath() + QStringLiteral("/My 3GP Files/");
  return settings;
}

QString SettingsFilePath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return WithSlash(base) + QStringLiteral("Vantrel/Options.ini");
}

StoredValues ReadStoredValues(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return {};
  return ParseSection(QString::fromUtf8(in.readAll()));
}

const char* StoredKey(OptionList list) {
  for (const ListKey& key : kListKeys)
    if (key.list == list) return key.name;
  return "";
}

Settings ReadSettings(const QString& file) { return SettingsFrom(ReadStoredValues(file)); }

Settings SettingsFrom(const StoredValues& values) {
  Settings settings = DefaultSettings();
  const QString folder = values.value(QStringLiteral("outputpath"));
  if (!folder.isEmpty()) settings.outputFolder = WithSlash(folder);

  const OutputChoice defaults;
  OutputChoice& choice = settings.output;
  SelectProfile(choice, IndexOr(values, "Profile", kProfileCount, defaults.profile));
  for (const ListKey& key : kListKeys) {
    const int count = int(Items(key.list, choice.profile).size());
    choice.index(key.list) = IndexOr(values, key.name, count, defaults.index(key.list));
  }
  settings.thread = IndexOr(values, "Thread", kParallelChoices, settings.thread);
  settings.overwrite = FlagOr(values, "Overwrite", settings.overwrite);
  settings.shutdownAfterCompleted = FlagOr(values, "ShutdownAfterCompleted", settings.shutdownAfterCompleted);
  settings.fastDecoding = FlagOr(values, "FastDecoding", settings.fastDecoding);
  settings.lastAddFolder = values.value(QStringLiteral("lastaddfolder"));
  return settings;
}

QString SettingsText(const Settings& settings) {
  QString text = QStringLiteral("[Options]\n");
  text += Line("OutputPath", StoredText(settings.outputFolder));
  text += Line("Profile", QString::number(settings.output.profile));
  for (const ListKey& key : kListKeys) text += Line(key.name, QString::number(settings.output.index(key.list)));
  text += Line("Thread", QString::number(settings.thread));
  text += Line("Overwrite", FlagText(settings.overwrite));
  text += Line("ShutdownAfterCompleted", FlagText(settings.shutdownAfterCompleted));
  text += Line("FastDecoding", FlagText(settings.fastDecoding));
  text += Line("LastAddFolder", StoredText(settings.lastAddFolder));
  return text;
}

bool WriteSettings(const Settings& settings, const QString& file, QString* error) {
  const auto fail = [error](const QString& reason) {
    if (error) *error = reason;
    return false;
  };
  if (!EnsureFolder(QFileInfo(file).absolutePath())) return fail(QStringLiteral("Cannot create the folder of ") + file);
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly)) return fail(out.errorString());
  out.write(SettingsText(settings).toUtf8());
  if (!out.commit()) return fail(out.errorString());
  return true;
}

bool EnsureFolder(const QString& folder) { return QDir().mkpath(folder); }

Settings LoadStartUpSettings() {
  Settings settings = ReadSettings(SettingsFilePath());
  DropUnencodableSize(settings.output);
  return settings;
}

}  // namespace vantrel::app
