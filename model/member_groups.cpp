// Edits of a dimension state's member tree and group list: caption attribute,
// visibility and moving members into groups.
#include <algorithm>

#include "model/dimension_state.h"

namespace qd {

namespace {

template <class F>
void ForEachNode(TDimMembers& list, F&& f) {
  for (auto& m : list) {
    f(*m);
    ForEachNode(m->Children, f);
  }
}

void CollectLeaves(TDimMember& member, std::vector<TDimMember*>& out) {
  if (member.Children.empty()) {
    out.push_back(&member);
    return;
  }
  for (auto& c : member.Children) CollectLeaves(*c, out);
}

// The copy of a member placed inside a group: everything but the tree links.
std::unique_ptr<TDimMember> CopyOf(const TDimMember& m) {
  return std::make_unique<TDimMember>(m.Detached());
}

}  // namespace

void TDimensionState::SetAttribute(const std::string& name, bool relabel) {
  Attribute = name;
  if (!relabel || !FDimension) return;
  auto recaption = [this](TDimMember& m) {
    if (!m.Group && m.Id >= 0) m.Caption = MemberCaption(m.Id);
  };
  ForEachNode(Members, recaption);
  ForEachNode(Groups, recaption);
}

void TDimensionState::ShowAllMembers() {
  auto show = [](TDimMember& m) { m.Visible = true; };
  ForEachNode(Members, show);
  ForEachNode(Groups, show);
}

void TDimensionState::HideSubtree(TDimMember& member) {
  member.Visible = false;
  ForEachNode(member.Children, [](TDimMember& m) { m.Visible = false; });
}

TDimMember* TDimensionState::FindMember(int cubeMember) const {
  TDimMember* found = nullptr;
  auto& members = const_cast<TDimMembers&>(Members);
  ForEachNode(members, [&](TDimMember& m) {
    if (!found && !m.Group && m.Id == cubeMember) found = &m;
  });
  return found;
}

TDimMember& TDimensionState::AddGroup(const std::string& caption) {
  auto group = std::make_unique<TDimMember>();
  group->Id = -1;
  group->Caption = caption;
  group->Group = true;
  Groups.push_back(std::move(group));
  return *Groups.back();
}

bool TDimensionState::MoveToGroup(TDimMember& member, int group) {
  if (group < 0 || group >= GroupCount()) return false;
  // Only members of the member tree move: a node inside a group is refused.
  TDimMember* top = &member;
  while (top->Parent) top = top->Parent;
  const bool inTree =
      std::any_of(Members.begin(), Members.end(), [top](const auto& m) { return m.get() == top; });
  if (!inTree) return false;

  std::vector<TDimMember*> leaves;
  CollectLeaves(member, leaves);
  TDimMember& target = *Groups[static_cast<std::size_t>(group)];
  for (TDimMember* leaf : leaves) {
    std::vector<TDimMember*> chain;
    for (TDimMember* m = leaf; m; m = m->Parent) chain.push_back(m);
    TDimMember* at = &target;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const TDimMember& m = **it;
      auto same = std::find_if(at->Children.begin(), at->Children.end(),
                               [&m](const auto& c) { return c->Id == m.Id && !c->Group; });
      at = same != at->Children.end() ? same->get() : &at->AddChild(CopyOf(m));
    }
  }
  // Copies first, removal after: every leaf and ancestor is still alive while
  // the paths are copied.
  for (TDimMember* leaf : leaves) {
    TDimMember* node = leaf;
    while (node) {
      TDimMember* parent = node->Parent;
      TDimMembers& list = parent ? parent->Children : Members;
      std::erase_if(list, [node](const auto& m) { return m.get() == node; });
      if (parent && !parent->Children.empty()) break;
      node = parent;
    }
  }
  return true;
}

}  // namespace qd
