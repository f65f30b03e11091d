#pragma once

#include <QString>

namespace platform {

// The per-user application-data folder (where Windows has CSIDL_APPDATA):
// $XDG_DATA_HOME, or ~/.local/share when that is unset. No trailing separator.
QString applicationDataFolder();

}  // namespace platform
