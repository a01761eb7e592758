#include "model/dim_members.h"

namespace qd {

TDimMember& TDimMember::AddChild(std::unique_ptr<TDimMember> child) {
  child->Parent = this;
  Children.push_back(std::move(child));
  return *Children.back();
}

}  // namespace qd
