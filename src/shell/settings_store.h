// The per-user settings store: texts under organisation "Kestrune", group "Quorvella".
// Nothing is cached: every read and every save goes to the store at once.
#pragma once

#include <QString>

namespace qv::shell {

inline constexpr char kParadoxFolderKey[] = "ParadoxFolder";
inline constexpr char kAccessFileKey[] = "AccessMDBFile";
inline constexpr char kAccessPasswordKey[] = "AccessPassword";
// Two settings without a text box, read when an operation needs them and never written by the
// program (the user sets them in the store): the code page of new Paradox tables (a number such
// as 1250; empty or missing: the first code page that holds the table's text) and the code page
// of an Access 97 file's text (empty or missing: the one its header names).
inline constexpr char kParadoxCodePageKey[] = "ParadoxCodePage";
inline constexpr char kAccessCodePageKey[] = "AccessCodePage";

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or the empty text when the key or group is missing. Throws a Failure
  // (qv::Error) when the store cannot be read.
  virtual QString Read(const QString& key) = 0;
  // Creates or replaces the key; the text is kept exactly as given.
  virtual void Save(const QString& key, const QString& text) = 0;
};

// The store through QSettings in the platform's native format. Its file holds the password in
// clear text, so it is created readable and writable by its owner only.
class QSettingsStore : public SettingsStore {
 public:
  QString Read(const QString& key) override;
  // A failed save has no report (the text boxes' change events carry none); it is written to
  // the program's warning output.
  void Save(const QString& key, const QString& text) override;
  // Where the settings live; for tests and the note in the README.
  static QString FilePath();
};

}  // namespace qv::shell
