// The support dump: a text file describing what the workbench window shows,
// for support and for the GUI check. Ctrl+Alt+D writes it; with the
// environment variable QD_GRID_DUMP set it goes to that file, and it is also
// written each time a header menu opens. The format is in the README.
#pragma once

#include <string>

namespace qd {

class TCubeDesignForm;

//! The dump's text: window and widget places in screen coordinates, the axes,
//! hidden members, the last header menu and the grid's cells.
std::string SupportDumpText(TCubeDesignForm& form);
//! Writes the dump to QD_GRID_DUMP, else to quarrydesk-grid-dump.txt in the
//! temporary folder; returns the file name.
std::string WriteSupportDump(TCubeDesignForm& form);
//! Adds the key command and, with QD_GRID_DUMP set, the dump on every menu.
void InstallSupportDump(TCubeDesignForm& form);

}  // namespace qd
