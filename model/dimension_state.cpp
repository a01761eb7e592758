#include "model/dimension_state.h"

#include <algorithm>
#include <numeric>

#include "engine/core/messages.h"

namespace qd {

namespace {

// Appends the nodes of a subtree to the flat list, parents before children.
void Flatten(const TDimMembers& list, std::vector<TDimMember*>& out) {
  for (const auto& m : list) {
    out.push_back(m.get());
    Flatten(m->Children, out);
  }
}

// The parents of a dimension's members, where it has a hierarchy whose parent
// list fits its members.
struct TParentOf {
  explicit TParentOf(const TDimension& d)
      : Dimension(d),
        Count(d.MemberCount()),
        Hierarchy(d.HasHierarchy && static_cast<int>(d.Parents.size()) == Count) {}

  //! The parent of member m, or -1 for a member at the top.
  int operator()(int m) const {
    const int p = Hierarchy ? Dimension.Parents[static_cast<std::size_t>(m)] : -1;
    return p >= 0 && p < Count ? p : -1;
  }
  //! False when the walk up from m runs in a circle: such a member would be cut
  //! off the tree, so it is put at the top level instead.
  bool ReachesRoot(int m) const {
    for (int steps = 0; m >= 0; ++steps) {
      if (steps > Count) return false;
      m = (*this)(m);
    }
    return true;
  }

  const TDimension& Dimension;
  const int Count;
  const bool Hierarchy;
};

// The members a dimension shows, in database order: once a lookup table is
// loaded the members the facts use, otherwise all of them; then the ancestors
// they need that are not among them.
std::vector<int> ShownMembers(const TDimension& d, const TParentOf& parentOf) {
  std::vector<int> shown;
  if (d.LookupLoaded) {
    for (int m : d.UsedMembers)
      if (m >= 0 && m < parentOf.Count) shown.push_back(m);
  } else {
    shown.resize(static_cast<std::size_t>(parentOf.Count));
    std::iota(shown.begin(), shown.end(), 0);
  }
  if (!parentOf.Hierarchy) return shown;
  std::vector<char> inSet(static_cast<std::size_t>(parentOf.Count), 0);
  for (int m : shown) inSet[static_cast<std::size_t>(m)] = 1;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const int p = parentOf(shown[i]);
    if (p >= 0 && !inSet[static_cast<std::size_t>(p)]) {
      inSet[static_cast<std::size_t>(p)] = 1;
      shown.push_back(p);  // its own ancestors are met later in this walk
    }
  }
  return shown;
}

}  // namespace

TDimensionState::TDimensionState(TGridInfo* owner, int dimIndex, const TDimension* dimension)
    : FOwner(owner), FDimIndex(dimIndex), FDimension(dimension) {
  if (dimension) {
    Group = dimension->Group;
    TotalAppearance = dimension->TotalAppearance;
    DisplayName = dimension->DisplayName;
    Attribute = dimension->DefaultAttributeName;
    SortType = dimension->SortType;
  }
}

std::string TDimensionState::MemberCaption(int member) const {
  const TDimension& d = *FDimension;
  const std::size_t m = static_cast<std::size_t>(member);
  if (const int a = d.Attributes.IndexOf(Attribute); a >= 0) {
    const auto& values = d.Attributes.Values(a);
    if (!values.empty()) return m < values.size() ? values[m] : std::string();
  }
  if (d.TextKey && !d.TextKeys.empty())
    return m < d.TextKeys.size() ? d.TextKeys[m] : std::string();
  return m < d.MemberKeys.size() ? std::to_string(d.MemberKeys[m]) : std::string();
}

void TDimensionState::BuildMembers() {
  Members.clear();
  if (!FDimension) return;
  const TDimension& d = *FDimension;
  const TParentOf parentOf(d);
  const std::vector<int> shown = ShownMembers(d, parentOf);

  std::vector<std::unique_ptr<TDimMember>> nodes(static_cast<std::size_t>(parentOf.Count));
  std::vector<TDimMember*> raw(nodes.size(), nullptr);
  for (std::size_t pos = 0; pos < shown.size(); ++pos) {
    const auto m = static_cast<std::size_t>(shown[pos]);
    auto node = std::make_unique<TDimMember>();
    node->Id = shown[pos];
    node->Caption = MemberCaption(shown[pos]);
    node->DatabasePosition = static_cast<int>(pos);
    node->DatabaseSortKey = m < d.DatabaseOrder.size() ? d.DatabaseOrder[m] : shown[pos];
    raw[m] = node.get();
    nodes[m] = std::move(node);
  }
  for (int m : shown) {
    const int p = parentOf(m);
    auto node = std::move(nodes[static_cast<std::size_t>(m)]);
    if (p >= 0 && parentOf.ReachesRoot(m))
      raw[static_cast<std::size_t>(p)]->AddChild(std::move(node));
    else
      Members.push_back(std::move(node));
  }
}

void TDimensionState::InitGroups() {
  Groups.clear();
  auto other = std::make_unique<TDimMember>();
  other->Id = kOtherGroupId;
  other->Caption = Msg(TMsg::SGridOtherGroup);
  other->Group = true;
  Groups.push_back(std::move(other));
}

void TDimensionState::BuildNodeTables(bool restoring) {
  FNodes.clear();
  Flatten(Members, FNodes);
  Flatten(Groups, FNodes);
  if (restoring) {
    std::stable_sort(FNodes.begin(), FNodes.end(), [](const TDimMember* a, const TDimMember* b) {
      const int pa = a->DatabasePosition < 0 ? INT32_MAX : a->DatabasePosition;
      const int pb = b->DatabasePosition < 0 ? INT32_MAX : b->DatabasePosition;
      return pa < pb;
    });
  }
  const std::size_t n = FNodes.size();
  for (std::size_t i = 0; i < n; ++i) FNodes[i]->Index = static_cast<int>(i);

  FLevels.assign(n, 1);
  FParents.assign(n, -1);
  FDescendants.assign(n, 0);
  FCubeMembers.assign(n, -1);
  FChildren.assign(n, {});
  FTopNodes.clear();
  FLevelCount = 1;
  int maxMember = -1;
  for (std::size_t i = 0; i < n; ++i) {
    const TDimMember* m = FNodes[i];
    if (!m->Group && m->Id >= 0) FCubeMembers[i] = m->Id;
    maxMember = std::max(maxMember, FCubeMembers[i]);
    if (m->Parent) FParents[i] = m->Parent->Index;
    for (const auto& c : m->Children) FChildren[i].push_back(c->Index);
    int level = 1;
    for (const TDimMember* p = m->Parent; p; p = p->Parent) {
      ++level;
      ++FDescendants[static_cast<std::size_t>(p->Index)];
    }
    FLevels[i] = level;
    FLevelCount = std::max(FLevelCount, level);
    if (level == 1) FTopNodes.push_back(static_cast<int>(i));
  }
  FMemberNodes.assign(static_cast<std::size_t>(maxMember + 1), -1);
  for (std::size_t i = 0; i < n; ++i)
    if (FCubeMembers[i] >= 0)
      FMemberNodes[static_cast<std::size_t>(FCubeMembers[i])] = static_cast<int>(i);

  FSortedOrder.resize(n);
  std::iota(FSortedOrder.begin(), FSortedOrder.end(), 0);
  FPositions = FSortedOrder;
  UpdateFilterActive();
}

int TDimensionState::NodeOfMember(int member) const {
  if (member < 0 || static_cast<std::size_t>(member) >= FMemberNodes.size()) return -1;
  return FMemberNodes[static_cast<std::size_t>(member)];
}

bool TDimensionState::IsInGroup(int node) const {
  for (; node >= 0; node = ParentNode(node))
    if (IsGroupNode(node)) return true;
  return false;
}

void TDimensionState::UpdateFilterActive() {
  FilterActive =
      std::any_of(FNodes.begin(), FNodes.end(), [](const TDimMember* m) { return !m->Visible; });
}

}  // namespace qd
