// Helpers of the dialog tests: check trees written out as text and nodes
// found by caption.
#pragma once

#include <stdexcept>
#include <string>

#include "view/check_tree.h"

namespace qd::test {

//! Each node as its caption with "+" (checked), "-" (unchecked) or "~"
//! (partly), children in brackets, siblings separated by spaces.
inline std::string TreeText(const TCheckTree::TNodes& nodes) {
  std::string out;
  for (const auto& n : nodes) {
    if (!out.empty()) out += ' ';
    out += n->Text;
    out += n->State == TCheckState::csChecked ? '+' : n->State == TCheckState::csPartly ? '~' : '-';
    if (n->HasChildren()) out += "[" + TreeText(n->Children()) + "]";
  }
  return out;
}
inline std::string TreeText(const TCheckTree& tree) {
  return TreeText(tree.Top());
}

//! The nodes the tree's filter shows, written as TreeText writes them (no states).
inline std::string ShownText(const std::vector<TXPCheckTreeNode*>& nodes) {
  std::string out;
  for (const TXPCheckTreeNode* n : nodes) {
    if (!out.empty()) out += ' ';
    out += n->Text;
    if (!n->ShownChildren().empty()) out += "[" + ShownText(n->ShownChildren()) + "]";
  }
  return out;
}

//! The first node with this caption, parents before children.
inline TXPCheckTreeNode& NodeNamed(const TCheckTree& tree, const std::string& text) {
  TXPCheckTreeNode* found = nullptr;
  tree.ForEach([&](TXPCheckTreeNode& n) {
    if (!found && n.Text == text) found = &n;
  });
  if (!found) throw std::runtime_error("no node " + text);
  return *found;
}

}  // namespace qd::test
