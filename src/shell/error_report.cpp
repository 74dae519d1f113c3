#include "shell/error_report.h"

#include "shell/app_title.h"
#include "shell/product.h"

namespace qv::shell {

QString LocationText(const QString& location) {
  return QStringLiteral("in ") + QString::fromUtf8(kLocationWord) + QLatin1Char('.') + location +
         QLatin1Char(' ');
}

QString ErrorReportText(const QString& description, const QString& location, int label,
                        const std::optional<QString>& statement) {
  QString text = description;
  text += QStringLiteral("\r\n");
  text += LocationText(location);
  text += QStringLiteral("at line ");
  text += QString::number(label);
  text += QStringLiteral("\r\r");
  text += QStringLiteral("Please email screenshot of this message to ");
  text += QString::fromUtf8(kSupportAddress);
  if (statement) {
    text += QStringLiteral("\r\rsql: ");
    text += *statement;
  }
  return text;
}

QString ShortErrorText(const QString& description, int number) {
  return description + QStringLiteral(" (Error Number = ") + QString::number(number) + QLatin1Char(')');
}

void ShowErrorReport(WindowSystem& windows, const QString& description, const QString& location, int label,
                     const std::optional<QString>& statement) {
  ShowErrorReport(windows, Failure{0, description}, location, label, statement);
}

void ShowErrorReport(WindowSystem& windows, const Failure& failure, const QString& location, int label,
                     const std::optional<QString>& statement) {
  windows.ShowMessage({ErrorReportText(failure.description, location, label, statement),
                       QString::fromUtf8(kErrorReportTitle), Buttons::kOk, Icon::kWarning,
                       ReportedFailure{failure.number, failure.description, location, label, statement}});
}

void ShowShortError(WindowSystem& windows, const QString& description, int number) {
  windows.ShowMessage({ShortErrorText(description, number), AppTitle(), Buttons::kOk, Icon::kNone,
                       ReportedFailure{number, description, QString(), 0, std::nullopt}});
}

}  // namespace qv::shell
