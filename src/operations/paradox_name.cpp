#include "operations/paradox_name.h"

#include "shell/failure.h"

namespace qv::ops {
namespace {
constexpr int kInvalidName = 3125;  // "'x' is not a valid name"
}

QString ParadoxNameProblem(const QString& name) {
  if (name.isEmpty()) return QStringLiteral("the name is empty");
  if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
    return QStringLiteral("it holds a path separator");
  if (name.contains(QStringLiteral(".."))) return QStringLiteral("it holds \"..\"");
  if (name == QStringLiteral(".")) return QStringLiteral("it names the folder itself");
  for (const QChar c : name) {
    const char16_t u = c.unicode();
    if (u == 0) return QStringLiteral("it holds a NUL character");
    if (u < 32 || u == 127 || (u >= 128 && u < 160)) return QStringLiteral("it holds a control character");
  }
  return {};
}

void CheckParadoxName(const QString& name) {
  const QString problem = ParadoxNameProblem(name);
  if (problem.isEmpty()) return;
  QString shown = name;
  for (QChar& c : shown)
    if (c.unicode() < 32 || c.unicode() == 127) c = QChar(u'?');
  shell::Fail(kInvalidName, QStringLiteral("'%1' is not a valid name for a Paradox table: %2. A Paradox table "
                                           "name is a plain file name inside the Paradox folder.")
                                .arg(shown, problem));
}

}  // namespace qv::ops
