#include "engine/cube/dimension.h"

#include <algorithm>

namespace qd {

int TAttributeList::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (SameText(FItems[i].Name, name)) return static_cast<int>(i);
  return -1;
}

int TAttributeList::Add(const std::string& name) {
  auto it = std::lower_bound(
      FItems.begin(), FItems.end(), name,
      [](const TItem& a, const std::string& n) { return CompareText(a.Name, n) < 0; });
  if (it != FItems.end() && SameText(it->Name, name)) return static_cast<int>(it - FItems.begin());
  it = FItems.insert(it, TItem{name, {}});
  return static_cast<int>(it - FItems.begin());
}

int TDimension::MemberCount() const {
  if (TextKey && !TextKeys.empty()) return static_cast<int>(TextKeys.size());
  return static_cast<int>(MemberKeys.size());
}

void TDimension::BindDefaultAttribute() {
  FDefaultIndex = -1;
  for (int i = 0; i < Attributes.Count(); ++i)
    if (Attributes.Name(i) == DefaultAttributeName) FDefaultIndex = i;
}

const std::vector<std::string>* TDimension::DefaultAttributeValues() const {
  if (FDefaultIndex < 0 || FDefaultIndex >= Attributes.Count()) return nullptr;
  return &Attributes.Values(FDefaultIndex);
}

std::vector<std::string>* TDimension::MutableDefaultAttributeValues() {
  if (FDefaultIndex < 0 || FDefaultIndex >= Attributes.Count()) return nullptr;
  return &Attributes.Values(FDefaultIndex);
}

std::string TDimension::Caption(int m) const {
  if (m < 0 || m >= MemberCount()) return {};
  if (const auto* v = DefaultAttributeValues(); v && m < static_cast<int>(v->size()))
    return (*v)[static_cast<std::size_t>(m)];
  if (TextKey && m < static_cast<int>(TextKeys.size()))
    return TextKeys[static_cast<std::size_t>(m)];
  if (m < static_cast<int>(MemberKeys.size()))
    return std::to_string(MemberKeys[static_cast<std::size_t>(m)]);
  return {};
}

int TDimension::FindMemberByText(std::string_view key) const {
  if (TextKeysSorted) {
    auto it = std::lower_bound(
        TextKeys.begin(), TextKeys.end(), key,
        [](const std::string& a, std::string_view k) { return CompareText(a, k) < 0; });
    if (it != TextKeys.end() && CompareText(*it, key) == 0) return static_cast<int>(it - TextKeys.begin());
    return -1;
  }
  for (std::size_t i = 0; i < TextKeys.size(); ++i)
    if (CompareText(TextKeys[i], key) == 0) return static_cast<int>(i);
  return -1;
}

int TDimension::FindMemberByKey(std::int32_t key) const {
  if (MemberKeysSorted) {
    auto it = std::lower_bound(MemberKeys.begin(), MemberKeys.end(), key);
    if (it != MemberKeys.end() && *it == key) return static_cast<int>(it - MemberKeys.begin());
    return -1;
  }
  auto it = std::find(MemberKeys.begin(), MemberKeys.end(), key);
  return it == MemberKeys.end() ? -1 : static_cast<int>(it - MemberKeys.begin());
}

bool IsTextKeyType(TFieldType t) {
  using enum TFieldType;
  return t == ftString || t == ftMemo || t == ftFmtMemo || t == ftFixedChar || t == ftWideString;
}

}  // namespace qd
