// The grid model's named pivot states and the name of the current one: saving
// the current layout under a name, deleting a state and restoring one. The
// grid captures and applies the layouts and is the Sender of the events.
#pragma once

#include <string>

#include "model/pivot_state.h"

namespace qd {

class TGridInfo;

class TPivotStateStore {
 public:
  explicit TPivotStateStore(TGridInfo& grid) : FGrid(grid) {}

  TPivotStates& States() { return FStates; }
  const TPivotStates& States() const { return FStates; }
  //! Name of the current state, empty when none.
  const std::string& Current() const { return FCurrent; }
  int IndexOf(const std::string& name) const { return FStates.IndexOf(name); }

  //! Stores the current layout under the name (an existing entry of that name,
  //! in any letter case, keeps its spelling), makes it current, fires the event.
  void Save(const std::string& name);
  //! Removes the named state; clears the current name when it was current.
  void Delete(const std::string& name);
  //! Applies the named state unless it is current; an empty name only clears
  //! the current name.
  void Restore(const std::string& name);
  //! Takes the states of a grid file; none is current.
  void Replace(TPivotStates states);
  //! Forgets every state and the current name.
  void Clear();

 private:
  TGridInfo& FGrid;
  TPivotStates FStates;
  std::string FCurrent;
};

}  // namespace qd
