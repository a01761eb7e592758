// The pivot the pivot and export commands of quarrydesk-cli show: a cube file,
// a grid-data file (with its own layout) or a CSV file read into a cube in
// memory, then laid out, filtered and summarised as the command line says.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/cli_args.h"
#include "db/db_connection.h"
#include "engine/cube/vantra.h"
#include "model/grid_info.h"

namespace qd {

class TTerminalProgress;
class TPhaseClock;

//! Only these members of a dimension count ("--filter DIM=A,B").
struct TMemberFilter {
  std::string Dimension;
  std::vector<std::string> Members;
};

struct TPivotOptions {
  std::string File;
  std::vector<std::string> Axes[3];  //!< rows, columns, page
  bool HasLayout = false;
  std::vector<TMemberFilter> Filters;
  std::vector<std::string> Summaries, Functions, SubFunctions;
  std::optional<TTotalAppearance> Totals;
  std::optional<bool> Expand;
  bool Timing = false;
  bool Quiet = false;
  bool Force = false;  //!< compute a layout above the size limits
};

//! The layout, filter and progress options of the pivot and export commands.
std::vector<TCliOption> PivotOptionSpec();
//! Reads them; FILE is the first plain argument.
TPivotOptions ReadPivotOptions(const TCliArgs& args);
//! "DIM=A,B" → dimension and members; "\," inside a member is a comma.
TMemberFilter ParseMemberFilter(const std::string& text);

//! A loaded pivot: the cube, its model, and for CSV input the connection and
//! query the cube reads.
struct TLoadedPivot {
  std::unique_ptr<TDbConnection> Connection;
  std::unique_ptr<TDbQuery> Query;
  TVantra Cube;
  TGridInfo Grid;
  ~TLoadedPivot() { Grid.SetVantra(nullptr); }
  //! What the user should hear although the pivot was made: summary values of
  //! a CSV file that were not numbers, formulas that do not parse.
  std::vector<std::string> Warnings() const;
};

//! Loads the file (phase "load") and applies the options with their
//! notifications processed. Unknown names raise ECliUsageError.
std::unique_ptr<TLoadedPivot> LoadPivot(const TPivotOptions& o, TPhaseClock& clock,
                                        TTerminalProgress& progress);

//! Leaves only the named members of each filter's dimension visible, as the
//! members dialog's check boxes do: a named member counts with its whole
//! subtree, and its ancestors stay shown for it.
void ApplyMemberFilters(TGridInfo& grid, const std::vector<TMemberFilter>& filters);

//! The dimension of a field or display name (letter case ignored).
int FindDimension(const TGridInfo& grid, const std::string& name);

}  // namespace qd
