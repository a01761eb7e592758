// Where the demo database lives: the built-in connections point at it unless
// CubeConnection.ini says otherwise.
#pragma once

#include <string>

namespace qd {

//! QD_DEMO_DB when set, else "quarrydesk_demo.db" beside the running program.
std::string DemoDatabasePath();

//! "Provider=SQLite;Data Source=<DemoDatabasePath()>".
std::string DemoConnectionString();

}  // namespace qd
