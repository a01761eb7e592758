#include "model/dim_members.h"

namespace qd {

TDimMember& TDimMember::AddChild(std::unique_ptr<TDimMember> child) {
  child->Parent = this;
  Children.push_back(std::move(child));
  return *Children.back();
}

TDimMember TDimMember::Detached() const {
  TDimMember copy;
  copy.Id = Id;
  copy.Caption = Caption;
  copy.Visible = Visible;
  copy.DatabasePosition = DatabasePosition;
  copy.Group = Group;
  copy.DatabaseSortKey = DatabaseSortKey;
  return copy;
}

}  // namespace qd
