// quarrydesk-cli commands that read local cube files (.vtc) and the cube held
// in grid-data files (.vtg). Their output is a contract for scripts: UTF-8,
// tab-separated, one record per line (facts also as CSV or JSON).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qd {

//! info FILE: the dimensions, summaries and fact count of the stored cube.
int CliCubeInfo(const std::vector<std::string>& args, std::ostream& out);
//! members FILE DIM: index, caption and parent index of every member of DIM
//! (field name or display name, without regard to case).
int CliCubeMembers(const std::vector<std::string>& args, std::ostream& out);
//! facts FILE [--format text|csv|json] [-o OUT]: a header of display names,
//! then each fact record's member captions and values (text: tab-separated;
//! csv: RFC 4180; json: an array of objects keyed by display name).
int CliCubeFacts(const std::vector<std::string>& args, std::ostream& out);

}  // namespace qd
