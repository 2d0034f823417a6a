#pragma once
// Message boxes and common dialogs as Qt dialogs, for the core hooks while a display is open.

#include "platform/core/dialogs.h"

#include <QStringList>

#include <string_view>

namespace platform {

// Qt's dialogs for every hook that `current` leaves empty (scripted answers stay in place).
TDialogHooks QtDialogHooks(const TDialogHooks& current);

// "Text (*.a;*.b)|*.a;*.b|..." as Qt's name filters: "Text (*.a *.b)", one per pair.
QStringList QtNameFilters(std::string_view filter);

} // namespace platform
