#include "view/check_tree.h"

#include <algorithm>

namespace qd {

namespace {

bool Contains(const TXPCheckTreeNode& root, const TXPCheckTreeNode* node) {
  for (; node; node = node->Parent())
    if (node == &root) return true;
  return false;
}

void CollectLeaves(TXPCheckTreeNode& node, std::vector<TXPCheckTreeNode*>& out) {
  if (!node.HasChildren()) {
    out.push_back(&node);
    return;
  }
  for (const auto& c : node.Children()) CollectLeaves(*c, out);
}

}  // namespace

int TXPCheckTreeNode::Level() const {
  int level = 0;
  for (const TXPCheckTreeNode* p = FParent; p; p = p->FParent) ++level;
  return level;
}

// ---- Structure ----

void TCheckTree::Attach(TXPCheckTreeNode* parent, TXPCheckTreeNode& node) {
  node.FParent = parent;
  node.FSerial = FNextSerial++;
  for (auto& c : node.FChildren) Attach(&node, *c);
}

TXPCheckTreeNode& TCheckTree::Add(TXPCheckTreeNode* parent,
                                  std::unique_ptr<TXPCheckTreeNode> node) {
  const int end = static_cast<int>(parent ? parent->FChildren.size() : FTop.size());
  return Insert(parent, end, std::move(node));
}

TXPCheckTreeNode& TCheckTree::Insert(TXPCheckTreeNode* parent, int index,
                                     std::unique_ptr<TXPCheckTreeNode> node) {
  TNodes& list = parent ? parent->FChildren : FTop;
  index = std::clamp(index, 0, static_cast<int>(list.size()));
  Attach(parent, *node);
  return **list.insert(list.begin() + index, std::move(node));
}

void TCheckTree::Delete(TXPCheckTreeNode& node) {
  if (Selected && Contains(node, Selected)) Selected = nullptr;
  TNodes& list = node.FParent ? node.FParent->FChildren : FTop;
  std::erase_if(list, [&node](const auto& n) { return n.get() == &node; });
}

void TCheckTree::DeleteWithEmptyAncestors(TXPCheckTreeNode& node, const TXPCheckTreeNode* keep) {
  TXPCheckTreeNode* at = &node;
  while (at && at != keep) {
    TXPCheckTreeNode* parent = at->FParent;
    Delete(*at);
    if (!parent || parent->HasChildren()) break;
    at = parent;
  }
}

void TCheckTree::Clear() {
  Selected = nullptr;
  FTop.clear();
  FShownTop.clear();
}

void TCheckTree::ForEach(const std::function<void(TXPCheckTreeNode&)>& f) const {
  std::function<void(const TNodes&)> walk = [&](const TNodes& list) {
    for (const auto& n : list) {
      f(*n);
      walk(n->FChildren);
    }
  };
  walk(FTop);
}

TXPCheckTreeNode* TCheckTree::Find(std::uint64_t serial) const {
  TXPCheckTreeNode* found = nullptr;
  ForEach([&](TXPCheckTreeNode& n) {
    if (n.FSerial == serial) found = &n;
  });
  return found;
}

std::vector<TXPCheckTreeNode*> TCheckTree::Leaves(TXPCheckTreeNode& node) {
  std::vector<TXPCheckTreeNode*> out;
  CollectLeaves(node, out);
  return out;
}

TXPCheckTreeNode& TCheckTree::TopOf(TXPCheckTreeNode& node) {
  TXPCheckTreeNode* top = &node;
  while (top->FParent) top = top->FParent;
  return *top;
}

// ---- Check states ----

TCheckState TCheckTree::Common(const TXPCheckTreeNode& node) {
  const TCheckState first = node.FChildren.front()->State;
  for (const auto& c : node.FChildren)
    if (c->State != first) return TCheckState::csPartly;
  return first;
}

void TCheckTree::RecomputeAncestors(TXPCheckTreeNode& node) {
  for (TXPCheckTreeNode* p = node.FParent; p; p = p->FParent) p->State = Common(*p);
}

void TCheckTree::SetState(TXPCheckTreeNode& node, TCheckState state) {
  node.State = state;
  if (CheckMode == TTreeCheckMode::cmTree) {
    std::function<void(TXPCheckTreeNode&)> down = [&](TXPCheckTreeNode& n) {
      for (auto& c : n.FChildren) {
        c->State = state;
        down(*c);
      }
    };
    down(node);
    RecomputeAncestors(node);
  }
  Repaint();
}

void TCheckTree::Toggle(TXPCheckTreeNode& node) {
  TCheckState state =
      node.State == TCheckState::csChecked ? TCheckState::csUnchecked : TCheckState::csChecked;
  if (OnCheckTreeItem) OnCheckTreeItem(node, state);
  SetState(node, state);
  if (OnChecked) OnChecked(node);
}

void TCheckTree::CheckAll(bool checked) {
  const TCheckState state = checked ? TCheckState::csChecked : TCheckState::csUnchecked;
  ForEach([&](TXPCheckTreeNode& n) {
    if (!Filtered() || (n.FShown && !n.HasChildren())) n.State = state;
  });
  if (Filtered()) RecomputeParents();
  Repaint();
}

void TCheckTree::Invert() {
  ForEach([&](TXPCheckTreeNode& n) {
    if (n.HasChildren() || (Filtered() && !n.FShown)) return;
    n.State = n.State == TCheckState::csChecked ? TCheckState::csUnchecked
                                                : TCheckState::csChecked;
  });
  RecomputeParents();
  Repaint();
}

void TCheckTree::RecomputeParents() {
  if (CheckMode != TTreeCheckMode::cmTree) return;
  std::function<void(TXPCheckTreeNode&)> up = [&](TXPCheckTreeNode& n) {
    if (!n.HasChildren()) return;
    for (auto& c : n.FChildren) up(*c);
    n.State = Common(n);
  };
  for (auto& n : FTop) up(*n);
}

// ---- Order and filter ----

void TCheckTree::Sort(
    const std::function<bool(const TXPCheckTreeNode&, const TXPCheckTreeNode&)>& less) {
  std::function<void(TNodes&)> sortList = [&](TNodes& list) {
    std::stable_sort(list.begin(), list.end(),
                     [&](const auto& a, const auto& b) { return less(*a, *b); });
    for (auto& n : list) sortList(n->FChildren);
  };
  sortList(FTop);
  Changed();
}

void TCheckTree::SetFilter(std::function<bool(const TXPCheckTreeNode&)> match) {
  FFilter = std::move(match);
  Changed();
}

bool TCheckTree::Filter(TXPCheckTreeNode& node, bool ancestorMatched) {
  const bool matched = ancestorMatched || !FFilter || FFilter(node);
  bool childShown = false;
  node.FShownChildren.clear();
  for (auto& c : node.FChildren)
    if (Filter(*c, matched)) {
      c->FShownRow = static_cast<int>(node.FShownChildren.size());
      node.FShownChildren.push_back(c.get());
      childShown = true;
    }
  node.FShown = matched || childShown;
  return node.FShown;
}

void TCheckTree::Changed() {
  FShownTop.clear();
  for (auto& n : FTop)
    if (Filter(*n, false)) {
      n->FShownRow = static_cast<int>(FShownTop.size());
      FShownTop.push_back(n.get());
    }
  if (OnStructure) OnStructure();
}

}  // namespace qd
