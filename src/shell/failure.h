// What an error trap catches: a number and a description. Engine errors keep their own; other
// failures of the program get the numbers of the classic runtime that support pages know
// (qv::errc, engine/core/error.h).
#pragma once

#include <QString>

#include "engine/core/error.h"

namespace qv::shell {

struct Failure {
  int number = 0;
  QString description;
};

// Turns the exception being handled into a Failure; call only inside a catch block.
Failure CurrentFailure();

// Throws a qv::Error with the given number and description (a failure of the program, not of a file).
[[noreturn]] void Fail(int number, const QString& description);

}  // namespace qv::shell
