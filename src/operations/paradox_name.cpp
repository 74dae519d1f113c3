#include "operations/paradox_name.h"

#include "engine/paradox/table_name.h"
#include "shell/failure.h"

namespace qv::ops {

QString ParadoxNameProblem(const QString& name) {
  const std::string problem = paradox::TableNameProblem(name.toStdString());
  return problem.empty() ? QString() : QStringLiteral("it ") + QString::fromStdString(problem);
}

void CheckParadoxName(const QString& name) {
  const QString problem = ParadoxNameProblem(name);
  if (problem.isEmpty()) return;
  QString shown = name;
  for (QChar& c : shown)
    if (c.unicode() < 32 || c.unicode() == 127) c = QChar(u'?');
  shell::Fail(errc::kInvalidName,
              QStringLiteral("'%1' is not a valid name for a Paradox table: %2. A Paradox table "
                             "name is a plain file name inside the Paradox folder.")
                  .arg(shown, problem));
}

}  // namespace qv::ops
