#include "export/document_heading.h"

#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "model/grid_info.h"

namespace qd {

namespace {

bool WhollyVisible(const TDimMember& m) {
  if (!m.Visible) return false;
  for (const auto& child : m.Children)
    if (!WhollyVisible(*child)) return false;
  return true;
}

// Visible members, a wholly visible subtree by its top; group nodes stand for
// their members only when all of them are selected.
void CollectSelected(const TDimMembers& list, std::vector<std::string>& out, int& count) {
  for (const auto& m : list) {
    if (m->Group && m->Children.empty()) continue;
    if (WhollyVisible(*m)) {
      if (static_cast<int>(out.size()) < kHeadingMembersListed) out.push_back(m->Caption);
      ++count;
    } else {
      CollectSelected(m->Children, out, count);
    }
  }
}

}  // namespace

std::string SelectedMembersText(const TDimensionState& state) {
  std::vector<std::string> names;
  int count = 0;
  CollectSelected(state.Members, names, count);
  CollectSelected(state.Groups, names, count);
  bool all = true;
  for (const TDimMembers* root : {&state.Members, &state.Groups})
    for (const auto& m : *root) all = all && WhollyVisible(*m);
  if (all) return Msg(TMsg::SExportAllMembers);
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "" : Msg(TMsg::SExportMemberSeparator)) + name;
  if (count > static_cast<int>(names.size())) text = Format(Msg(TMsg::SExportMoreMembers), text, count);
  return text;
}

std::vector<std::string> DocumentHeading(const TGridInfo& grid, const std::string& caption) {
  std::vector<std::string> lines;
  if (!caption.empty()) lines.push_back(caption);
  for (int d : grid.PageDims()) {
    const TDimensionState& state = grid.DimensionState(d);
    const std::string name = state.Dimension() ? state.Dimension()->DisplayName : state.DisplayName;
    lines.push_back(Format(Msg(TMsg::SExportPageLine), name, SelectedMembersText(state)));
  }
  return lines;
}

}  // namespace qd
