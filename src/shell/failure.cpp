#include "shell/failure.h"

#include <exception>
#include <new>

#include "engine/core/error.h"

namespace qv::shell {

Failure CurrentFailure() {
  try {
    throw;
  } catch (const qv::Error& e) {
    QString text = QString::fromStdString(e.description());
    return {e.number(), text};
  } catch (const std::bad_alloc&) {
    return {errc::kOutOfMemory, QStringLiteral("Out of memory")};
  } catch (const std::exception& e) {
    return {errc::kInternal, QString::fromUtf8(e.what())};
  } catch (...) {
    return {errc::kInternal, QStringLiteral("Internal error")};
  }
}

void Fail(int number, const QString& description) {
  throw qv::Error(number, description.toStdString());
}

}  // namespace qv::shell
