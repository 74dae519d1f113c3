// The opening steps both transfers share: the hourglass, then the Paradox connection with client
// cursors and the Access connection with server cursors for reading and writing.
#pragma once

#include <memory>

#include "operations/handlers.h"
#include "shell/page_hooks.h"
#include "sources/access_source.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"

namespace qv::ops {

// Runs steps 110 to 120 under the caller's trap (the plain one, or the one that quotes the
// statement); each failing step is reported with its label and the next one still runs.
template <typename Trap>
void OpenTransferConnections(Trap& trap, shell::TablePageContext& page,
                             const std::unique_ptr<sources::Connection>& paradox,
                             const std::unique_ptr<sources::Connection>& access) {
  trap.Step(110, [&] { page.page.pointer.SetPointer(shell::kPointerHourglass); });
  trap.Step(112, [&] { Use(paradox).CursorLocation = sources::kUseClient; });
  trap.Step(114, [&] { Use(paradox).Open(sources::ParadoxConnectionString(page.fields).toStdString()); });
  trap.Step(116, [&] { Use(access).CursorLocation = sources::kUseServer; });
  trap.Step(118, [&] { Use(access).Mode = sources::kModeReadWrite; });
  trap.Step(120, [&] {
    Use(access).Open(
        sources::AccessConnectionString(page.fields.accessFile(), page.fields.accessPassword(), page.fields)
            .toStdString());
  });
}

}  // namespace qv::ops
