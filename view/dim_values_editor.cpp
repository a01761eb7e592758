#include "view/dim_values_editor.h"

#include <algorithm>
#include <chrono>

#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"
#include "model/grid_info.h"
#include "model/member_order.h"

namespace qd {

namespace {

TDimMember& MemberOf(TXPCheckTreeNode& node) {
  return static_cast<TMemberNode&>(node).Member;
}
const TDimMember& MemberOf(const TXPCheckTreeNode& node) {
  return static_cast<const TMemberNode&>(node).Member;
}

// The path of a node below its top-level ancestor (`withTop`: from it).
std::vector<TXPCheckTreeNode*> PathOf(TXPCheckTreeNode& node, bool withTop) {
  std::vector<TXPCheckTreeNode*> chain;
  for (TXPCheckTreeNode* n = &node; n; n = n->Parent()) chain.push_back(n);
  if (!withTop) chain.pop_back();
  std::reverse(chain.begin(), chain.end());
  return chain;
}

bool InTree(const TCheckTree& tree, TXPCheckTreeNode& node) {
  const TXPCheckTreeNode& top = TCheckTree::TopOf(node);
  return std::any_of(tree.Top().begin(), tree.Top().end(),
                     [&top](const auto& n) { return n.get() == &top; });
}

}  // namespace

TDimValuesEditor::TDimValuesEditor(TGridInfo& model, TDimensionState& state)
    : FModel(model), FState(state), FSortType(state.SortType) {
  FMembers.CheckMode = TTreeCheckMode::cmTree;
  FGroups.CheckMode = TTreeCheckMode::cmTree;
}

std::string TDimValuesEditor::Caption() const {
  return Msg(TMsg::SDimValuesCaption) + DisplayName;
}

void TDimValuesEditor::FillTree(TCheckTree& tree, const TDimMembers& list) {
  std::function<void(TXPCheckTreeNode*, const TDimMembers&)> fill =
      [&](TXPCheckTreeNode* parent, const TDimMembers& members) {
        for (const auto& m : members) {
          auto node = std::make_unique<TMemberNode>();
          node->Text = m->Caption;
          node->Member = m->Detached();
          node->State = m->Visible ? TCheckState::csChecked : TCheckState::csUnchecked;
          if (&tree == &FGroups && !parent) {
            node->Image = kGroupClosedImage;
            node->ExpandedImage = kGroupOpenImage;
          }
          TXPCheckTreeNode& added = tree.Add(parent, std::move(node));
          fill(&added, m->Children);
        }
      };
  tree.Clear();
  fill(nullptr, list);
  tree.RecomputeParents();
}

void TDimValuesEditor::Open() {
  FillTree(FMembers, FState.Members);
  FillTree(FGroups, FState.Groups);
  DisplayName = FState.DisplayName;
  FAttributes.clear();
  const TDimension* dim = FState.Dimension();
  FHasAttributes = dim && dim->Attributes.Count() > 0;
  if (FHasAttributes) {
    for (int a = 0; a < dim->Attributes.Count(); ++a) FAttributes.push_back(dim->Attributes.Name(a));
    FAttribute = dim->Attributes.IndexOf(FState.Attribute);
  } else {
    FAttributes.push_back(Msg(TMsg::SDefaultAttribute));
    FAttribute = 0;
  }
  FSortType = FState.SortType;
  ApplyOrder();
  FGroups.Changed();
  StartSearchIndex();
}

void TDimValuesEditor::ChooseAttribute(int index) {
  if (index < 0 || index >= static_cast<int>(FAttributes.size())) return;
  FAttribute = index;
  const TDimension* dim = FState.Dimension();
  if (!FHasAttributes || !dim) return;
  const std::vector<std::string>& values = dim->Attributes.Values(index);
  FMembers.ForEach([&values](TXPCheckTreeNode& n) {
    const int id = MemberOf(n).Id;
    if (id >= 0)
      n.Text = static_cast<std::size_t>(id) < values.size() ? values[static_cast<std::size_t>(id)]
                                                            : std::string();
  });
  StartSearchIndex();
  if (!FSearchText.empty())
    SetSearch(FSearchText);
  else if (FMembers.OnRepaint)
    FMembers.OnRepaint();
}

void TDimValuesEditor::ChooseOrder(TDimSortType type) {
  FSortType = type;
  ApplyOrder();
}

bool TDimValuesEditor::LessInOrder(const TXPCheckTreeNode& a, const TXPCheckTreeNode& b) const {
  const TDimMember& ma = MemberOf(a);
  const TDimMember& mb = MemberOf(b);
  switch (FSortType) {
    case TDimSortType::dsNameAsc:
      return CompareCaptionText(a.Text, b.Text) < 0;
    case TDimSortType::dsNameDesc:
      return CompareCaptionText(a.Text, b.Text) > 0;
    case TDimSortType::dsCustom:
      // Groups and other nodes without a member first; members by the
      // application's comparison, in data-source order without one.
      if ((ma.Id < 0) != (mb.Id < 0)) return ma.Id < 0;
      if (ma.Id < 0) return false;
      if (FModel.OnCompareDimensionMembers)
        return FModel.OnCompareDimensionMembers(FState, FState.NodeOfMember(ma.Id),
                                                FState.NodeOfMember(mb.Id)) < 0;
      [[fallthrough]];
    case TDimSortType::dsDatabase:
      return ma.DatabaseSortKey < mb.DatabaseSortKey;
  }
  return false;
}

void TDimValuesEditor::ApplyOrder() {
  FMembers.Sort([this](const TXPCheckTreeNode& a, const TXPCheckTreeNode& b) {
    return LessInOrder(a, b);
  });
}

std::unique_ptr<TMemberNode> TDimValuesEditor::CopyNode(const TXPCheckTreeNode& node) const {
  auto copy = std::make_unique<TMemberNode>();
  copy->Text = node.Text;
  copy->Member = MemberOf(node).Detached();
  copy->State = node.State;
  return copy;
}

TXPCheckTreeNode& TDimValuesEditor::PathInto(TCheckTree& tree, TXPCheckTreeNode* root,
                                             const std::vector<TXPCheckTreeNode*>& chain) {
  TXPCheckTreeNode* at = root;
  for (TXPCheckTreeNode* step : chain) {
    const auto& list = at ? at->Children() : tree.Top();
    const int id = MemberOf(*step).Id;
    const auto same = std::find_if(list.begin(), list.end(), [id](const auto& c) {
      return !MemberOf(*c).Group && MemberOf(*c).Id == id;
    });
    at = same != list.end() ? same->get() : &tree.Add(at, CopyNode(*step));
  }
  return *at;
}

TMemberNode& TDimValuesEditor::NewGroup() {
  auto node = std::make_unique<TMemberNode>();
  node->Text = Msg(TMsg::SDimValuesNewGroupCaption);
  node->Member.Id = -1;
  node->Member.Group = true;
  node->Member.Caption = node->Text;
  node->State = TCheckState::csChecked;
  node->Image = kGroupClosedImage;
  node->ExpandedImage = kGroupOpenImage;
  auto& added = static_cast<TMemberNode&>(FGroups.Add(nullptr, std::move(node)));
  FGroups.Selected = &added;
  FGroups.Changed();
  return added;
}

bool TDimValuesEditor::MoveToGroup(TXPCheckTreeNode* dragged, TXPCheckTreeNode* target) {
  if (!dragged || !target || !InTree(FMembers, *dragged) || !InTree(FGroups, *target)) return false;
  TXPCheckTreeNode& group = TCheckTree::TopOf(*target);
  const std::vector<TXPCheckTreeNode*> leaves = TCheckTree::Leaves(*dragged);
  for (TXPCheckTreeNode* leaf : leaves) {
    TXPCheckTreeNode& copy = PathInto(FGroups, &group, PathOf(*leaf, true));
    FGroups.SetState(copy, leaf->State);
  }
  for (TXPCheckTreeNode* leaf : leaves) FMembers.DeleteWithEmptyAncestors(*leaf, nullptr);
  group.Expanded = true;
  FMembers.RecomputeParents();
  FGroups.RecomputeParents();
  FMembers.Changed();
  FGroups.Changed();
  return true;
}

bool TDimValuesEditor::MoveBack(TXPCheckTreeNode* node, bool deleteItem) {
  if (!node || !InTree(FGroups, *node)) return false;
  TXPCheckTreeNode& group = TCheckTree::TopOf(*node);
  const bool wholeGroup = node == &group;
  if (wholeGroup && !deleteItem) return false;
  std::vector<TXPCheckTreeNode*> leaves = TCheckTree::Leaves(*node);
  std::erase(leaves, &group);  // a group without members moves nothing
  for (TXPCheckTreeNode* leaf : leaves) {
    TXPCheckTreeNode& copy = PathInto(FMembers, nullptr, PathOf(*leaf, false));
    FMembers.SetState(copy, leaf->State);
  }
  for (TXPCheckTreeNode* leaf : leaves) FGroups.DeleteWithEmptyAncestors(*leaf, &group);
  if (wholeGroup && MemberOf(group).Id != kOtherGroupId) FGroups.Delete(group);
  FMembers.RecomputeParents();
  FGroups.RecomputeParents();
  // Members come back in alphabetical order, whatever order is chosen: the
  // order list applies again when chosen, and to the grid on OK.
  FMembers.Sort([](const TXPCheckTreeNode& a, const TXPCheckTreeNode& b) {
    return CompareCaptionText(a.Text, b.Text) < 0;
  });
  FGroups.Changed();
  return true;
}

void TDimValuesEditor::StartSearchIndex() {
  std::vector<std::pair<int, std::string>> entries;
  std::vector<char> seen;
  auto add = [&](TXPCheckTreeNode& n) {
    const int id = MemberOf(n).Id;
    if (id < 0) return;
    if (static_cast<std::size_t>(id) >= seen.size()) seen.resize(static_cast<std::size_t>(id) + 1);
    if (seen[static_cast<std::size_t>(id)]) return;
    seen[static_cast<std::size_t>(id)] = 1;
    entries.emplace_back(id, n.Text);
  };
  FMembers.ForEach(add);
  FGroups.ForEach(add);
  // An index still on its way is waited for as the new one replaces it.
  FSearchIndex = std::async(std::launch::async, [entries = std::move(entries)] {
    TMemberSearch search;
    for (const auto& [id, caption] : entries) search.Add(id, caption);
    return search;
  });
}

bool TDimValuesEditor::SearchIndexReady() const {
  return !FSearchIndex.valid() ||
         FSearchIndex.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

void TDimValuesEditor::SetSearch(const std::string& text) {
  FSearchText = text;
  if (IsBlank(text)) {
    FSearchText.clear();
    FMembers.SetFilter(nullptr);
    return;
  }
  if (FSearchIndex.valid()) FSearch = FSearchIndex.get();
  std::fill(FFound.begin(), FFound.end(), 0);
  for (int id : FSearch.Find(text)) {
    if (static_cast<std::size_t>(id) >= FFound.size()) FFound.resize(static_cast<std::size_t>(id) + 1);
    FFound[static_cast<std::size_t>(id)] = 1;
  }
  FMembers.SetFilter([this](const TXPCheckTreeNode& n) {
    const int id = MemberOf(n).Id;
    return id >= 0 && static_cast<std::size_t>(id) < FFound.size() &&
           FFound[static_cast<std::size_t>(id)];
  });
}

TDimMembers TDimValuesEditor::ToMembers(const TCheckTree::TNodes& nodes) const {
  TDimMembers out;
  for (const auto& n : nodes) {
    auto m = std::make_unique<TDimMember>(MemberOf(*n).Detached());
    m->Caption = n->Text;
    m->Visible = n->Checked();
    for (auto& c : ToMembers(n->Children())) m->AddChild(std::move(c));
    out.push_back(std::move(m));
  }
  return out;
}

void TDimValuesEditor::Ok() {
  FState.DisplayName = DisplayName;
  if (FHasAttributes && FAttribute >= 0 && FAttribute < static_cast<int>(FAttributes.size()))
    FState.Attribute = FAttributes[static_cast<std::size_t>(FAttribute)];
  FState.SortType = FSortType;
  FModel.ReplaceMembers(FState, ToMembers(FMembers.Top()), ToMembers(FGroups.Top()));
}

}  // namespace qd
