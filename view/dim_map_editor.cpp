#include "view/dim_map_editor.h"

#include <algorithm>

#include "engine/core/messages.h"
#include "model/grid_info.h"

namespace qd {

void TDimStateData::ReadFrom(const TDimensionState& state) {
  SortType = state.SortType;
  TotalAppearance = state.TotalAppearance;
  Attribute = state.Attribute;
  Caption = state.DisplayName;
}

TDimMapEditor::TDimMapEditor(TGridInfo& model) : FModel(model) {}

void TDimMapEditor::Open() {
  for (int a = 0; a < 3; ++a) {
    auto& list = FAxes[static_cast<std::size_t>(a)];
    list.clear();
    for (int d : FModel.AxisDims(static_cast<TDimGroup>(a))) {
      TDimStateData data;
      data.State = &FModel.DimensionState(d);
      data.ReadFrom(*data.State);
      if (data.Caption.empty()) data.Caption = FModel.GetDimName(d);
      list.push_back(std::move(data));
    }
  }
  FSelected = {};
  FEverSelected = false;
}

int TDimMapEditor::IndexOf(const TDimMapNode& node) const {
  if (!node.Valid() || !node.Dim) return -1;
  const auto& list = FAxes[static_cast<std::size_t>(node.Axis)];
  const auto it = std::find_if(list.begin(), list.end(),
                               [&node](const TDimStateData& d) { return d.State == node.Dim; });
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TDimStateData* TDimMapEditor::Data(const TDimMapNode& node) {
  const int i = IndexOf(node);
  return i < 0 ? nullptr : &FAxes[static_cast<std::size_t>(node.Axis)][static_cast<std::size_t>(i)];
}

void TDimMapEditor::StoreShown() {
  TDimStateData* data = Data(FSelected);
  if (!data) return;
  data->TotalAppearance = ShownTotal;
  data->SortType = ShownSort;
  // Without attributes the list holds a placeholder, not a name to keep.
  const TDimension* dim = data->State->Dimension();
  if (dim && dim->Attributes.Count() > 0 && ShownAttribute >= 0 &&
      ShownAttribute < static_cast<int>(FAttributes.size()))
    data->Attribute = FAttributes[static_cast<std::size_t>(ShownAttribute)];
}

void TDimMapEditor::ShowOf(const TDimStateData& data) {
  ShownTotal = data.TotalAppearance;
  ShownSort = data.SortType;
  FAttributes.clear();
  const TDimension* dim = data.State->Dimension();
  if (dim && dim->Attributes.Count() > 0) {
    for (int a = 0; a < dim->Attributes.Count(); ++a) FAttributes.push_back(dim->Attributes.Name(a));
    ShownAttribute = std::max(0, dim->Attributes.IndexOf(data.Attribute));
  } else {
    FAttributes.push_back(Msg(TMsg::SDefaultAttribute));
    ShownAttribute = 0;
  }
}

void TDimMapEditor::Select(const TDimMapNode& node) {
  StoreShown();
  FSelected = node;
  FEverSelected = FEverSelected || node.Valid();
  if (const TDimStateData* data = Data(node))
    ShowOf(*data);
  else
    FSelected.Dim = nullptr;
}

bool TDimMapEditor::Move(const TDimMapNode& dragged, const TDimMapNode& target) {
  const int from = IndexOf(dragged);
  if (from < 0 || !target.Valid() || target == dragged) return false;
  if (target.Dim && IndexOf(target) < 0) return false;
  const bool toActive = target.Axis != static_cast<int>(TDimGroup::dgPage);
  if (toActive && dragged.Axis == static_cast<int>(TDimGroup::dgPage)) {
    std::vector<int> active;
    for (int a = 0; a < 2; ++a)
      for (const TDimStateData& d : FAxes[static_cast<std::size_t>(a)])
        active.push_back(d.State->DimIndex());
    active.push_back(dragged.Dim->DimIndex());
    FModel.CheckCapacity(active);  // raises: the drop is refused
  }
  StoreShown();
  auto& source = FAxes[static_cast<std::size_t>(dragged.Axis)];
  TDimStateData moved = std::move(source[static_cast<std::size_t>(from)]);
  source.erase(source.begin() + from);
  auto& dest = FAxes[static_cast<std::size_t>(target.Axis)];
  const int at = target.Dim ? IndexOf(target) : static_cast<int>(dest.size());
  dest.insert(dest.begin() + at, std::move(moved));
  if (FSelected.Dim == dragged.Dim) FSelected.Axis = target.Axis;
  return true;
}

void TDimMapEditor::Rename(const TDimMapNode& node, const std::string& caption) {
  if (TDimStateData* data = Data(node)) data->Caption = caption;
}

void TDimMapEditor::MembersChanged(const TDimMapNode& node) {
  TDimStateData* data = Data(node);
  if (!data) return;
  data->ReadFrom(*data->State);
  FSelected = {};  // the state's values win over the panel's
  Select(node);
}

bool TDimMapEditor::Ok() {
  if (!FEverSelected) return false;
  StoreShown();
  std::vector<TGridInfo::TDimLayout> layout;
  for (int a = 0; a < 3; ++a)
    for (const TDimStateData& d : FAxes[static_cast<std::size_t>(a)])
      layout.push_back({d.State->DimIndex(), static_cast<TDimGroup>(a), d.TotalAppearance,
                        d.SortType, d.Attribute});
  FModel.ApplyLayout(layout);
  return true;
}

}  // namespace qd
