// The settings the workbench keeps between sessions: an INI file in the
// user's configuration folder ($XDG_CONFIG_HOME/quarrydesk/settings.ini,
// ~/.config without it). It holds the size limits of "显示设置"; the rest of
// the display settings belong to the session.
#pragma once

#include <string>

#include "model/layout_estimate.h"

namespace qd {

//! The file the workbench keeps its settings in.
std::string UserSettingsFile();
//! The limits kept in `file`; a missing file, key or unusable value gives the default.
TLayoutLimits ReadLayoutLimits(const std::string& file);
//! Keeps the limits in `file`, creating its folder; other keys stay.
//! EGenericError when the file cannot be written.
void WriteLayoutLimits(const std::string& file, const TLayoutLimits& limits);

}  // namespace qd
