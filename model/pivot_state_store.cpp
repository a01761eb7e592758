#include "model/pivot_state_store.h"

#include "engine/cube/dim_map.h"
#include "model/grid_info.h"

namespace qd {

void TPivotStateStore::Save(const std::string& name) {
  int i = FStates.IndexOf(name);
  if (i >= 0) {
    FCurrent = FStates.Name(i);
    FStates.State(i) = FGrid.CaptureState();
  } else {
    i = FStates.Add(name, FGrid.CaptureState());
    FCurrent = name;
  }
  if (FGrid.OnPivotStateSaved) FGrid.OnPivotStateSaved(&FGrid, FStates.Name(i));
}

void TPivotStateStore::Delete(const std::string& name) {
  const int i = FStates.IndexOf(name);
  if (i < 0) return;
  const std::string removed = FStates.Name(i);
  FStates.Delete(i);
  if (SameText(FCurrent, name)) FCurrent.clear();
  if (FGrid.OnPivotStateDeleted) FGrid.OnPivotStateDeleted(&FGrid, removed);
}

void TPivotStateStore::Restore(const std::string& name) {
  if (!FCurrent.empty() && SameText(name, FCurrent)) return;
  if (name.empty()) {
    FCurrent.clear();
    return;
  }
  const int i = FStates.IndexOf(name);
  if (i < 0) return;
  FCurrent = FStates.Name(i);
  FGrid.ApplyState(FStates.State(i));
}

void TPivotStateStore::Replace(TPivotStates states) {
  FStates = std::move(states);
  FCurrent.clear();
}

void TPivotStateStore::Clear() {
  FStates.Clear();
  FCurrent.clear();
}

}  // namespace qd
