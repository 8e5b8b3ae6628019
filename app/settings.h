// The user's choices kept between runs: Options.ini in the per-user
// configuration folder, one section "Options", thirteen keys. The window reads
// it at start-up and writes it when it closes; vantrel-batch only reads it,
// for its defaults.
//
// The file is read and written here rather than through QSettings, which
// sorts the keys and would put quotes around the folder; the file keeps the
// keys in the order below:
//
//   [Options]
//   OutputPath=/home/ann/My 3GP Files/
//   Profile=0
//   VideoSize=1
//   AudioChannels=0
//   VideoBitrate=0
//   AudioBitrate=0
//   FrameRate=0
//   AudioSampleRate=0
//   Thread=1
//   Overwrite=True
//   ShutdownAfterCompleted=False
//   FastDecoding=True
//   LastAddFolder=/home/ann/Videos
//
// "Thread" is the "Convert N files simultaneously" choice: the index of
// N in 1..5, so the default 1 converts two files at once. "FastDecoding"
// lets a decoder deliver reduced pictures when the output is no larger; a
// file without the key has it on. "LastAddFolder" is where the open dialog
// of Add was left; files written before it existed lack it, and the dialog
// then opens where Qt's own opens.
#pragma once

#include <QHash>
#include <QString>

#include "app/profiles.h"

namespace vantrel::app {

inline constexpr int kParallelChoices = 5;

struct Settings {
  QString outputFolder;  // always ends in "/"
  OutputChoice output;   // each index inside its list
  int thread = 1;        // index of the number of files converted at once
  bool overwrite = true;
  bool shutdownAfterCompleted = false;
  bool fastDecoding = true;
  QString lastAddFolder;  // empty: none yet

  int parallelTasks() const { return thread + 1; }
  bool operator==(const Settings&) const = default;
};

// What a first run starts with: "My 3GP Files/" in the home folder and the
// choices of a default OutputChoice.
Settings DefaultSettings();

// $XDG_CONFIG_HOME/Vantrel/Options.ini; ~/.config when that variable is
// unset, empty or not an absolute path.
QString SettingsFilePath();

// A missing file, key or unreadable number gives that key's default, and so
// does a stored index outside its list (the audio lists are those of the
// stored profile). A flag is on only when it reads exactly "True". An empty
// folder is the default folder, since "/" added to it would be the root.
Settings ReadSettings(const QString& file);
// The file's [Options] section as written, by key in lower case; empty
// when the file cannot be read. For a front end that says which value came
// from the file and which stored value it could not use.
using StoredValues = QHash<QString, QString>;
StoredValues ReadStoredValues(const QString& file);
// ReadSettings on values already read.
Settings SettingsFrom(const StoredValues& values);
// "VideoSize": the key a list is stored under.
const char* StoredKey(OptionList list);
// The whole text of the file for these settings.
QString SettingsText(const Settings& settings);
// Creates the file's folder when missing and replaces the file at once, so
// a failed write leaves the previous file as it was. False with the reason
// in *error.
bool WriteSettings(const Settings& settings, const QString& file, QString* error = nullptr);

// Creates the folder and its missing parents; true when it exists after.
bool EnsureFolder(const QString& folder);
// Start-up of the window: the settings from SettingsFilePath(), a stored
// size the profile cannot encode replaced by the default size (the window
// does not let it be picked; vantrel-batch reads the file itself and
// refuses it instead). The output folder is left alone: a batch makes it.
Settings LoadStartUpSettings();

}  // namespace vantrel::app
