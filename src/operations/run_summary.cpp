#include "operations/run_summary.h"

namespace qv::ops {

QString ReasonLine(const QString& description) {
  QString line = description.section(QLatin1Char('\n'), 0, 0).trimmed();
  line = line.section(QLatin1Char('\r'), 0, 0).trimmed();
  if (line.endsWith(QLatin1Char('.'))) line.chop(1);
  if (line.isEmpty()) line = QStringLiteral("it failed");
  return line;
}

void RunSummary::NotSent(const QString& name, const QString& reason) {
  lines_ << name + QStringLiteral(": not sent: ") + ReasonLine(reason) + QLatin1Char('.');
}

void RunSummary::SentWithout(const QString& name, long long rows) {
  lines_ << name + QStringLiteral(": incomplete, sent without %1 %2 that could not be copied.")
                       .arg(rows)
                       .arg(rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
}

QString RunSummary::Text() const {
  if (complete()) return QStringLiteral("Done.");
  if (selected_ == 0) return QStringLiteral("No table was selected; nothing was sent.");
  QStringList out;
  if (not_saved_)
    out << QStringLiteral(
               "Tables written: %1 of %2, but the database could not be saved, so the last of them "
               "may be missing.")
               .arg(sent_)
               .arg(selected_);
  else
    out << QStringLiteral("Tables sent: %1 of %2.").arg(sent_).arg(selected_);
  out << lines_;
  return out.join(QLatin1Char('\n'));
}

}  // namespace qv::ops
