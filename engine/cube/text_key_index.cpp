#include "engine/cube/text_key_index.h"

#include "engine/core/text_helpers.h"

namespace qd {
namespace {

// Printable ASCII (and tab, line breaks): under the collation such a text equals
// another plain ASCII text exactly when both agree without regard to case.
// Control characters are ignorable there, so they take the collation path.
bool IsPlainAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x7F || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) return false;
  return true;
}

}  // namespace

std::uint64_t TFlatTextMap::Hash(std::string_view s) const {
  std::uint64_t h = 0xcbf29ce484222325ull;
  if (FFolded)
    for (char c : s) h = (h ^ static_cast<unsigned char>(LowerChar(c))) * 0x100000001b3ull;
  else
    for (unsigned char c : s) h = (h ^ c) * 0x100000001b3ull;
  return h ^ (h >> 32);
}

bool TFlatTextMap::Equal(std::string_view a, std::string_view b) const {
  return FFolded ? SameText(a, b) : a == b;
}

std::int32_t TFlatTextMap::Find(std::string_view s) const {
  if (FSlots.empty()) return -1;
  const auto h = static_cast<std::uint32_t>(Hash(s));
  const std::size_t mask = FSlots.size() - 1;
  for (std::size_t i = h & mask;; i = (i + 1) & mask) {
    const TSlot& slot = FSlots[i];
    if (slot.Entry < 0) return -1;
    if (slot.Hash == h && Equal(FKeys[static_cast<std::size_t>(slot.Entry)], s))
      return FMembers[static_cast<std::size_t>(slot.Entry)];
  }
}

void TFlatTextMap::Insert(std::string_view s, std::int32_t m) {
  if ((FKeys.size() + 1) * 4 > FSlots.size() * 3) Grow();
  const auto h = static_cast<std::uint32_t>(Hash(s));
  const std::size_t mask = FSlots.size() - 1;
  std::size_t i = h & mask;
  while (FSlots[i].Entry >= 0) i = (i + 1) & mask;
  FSlots[i] = {h, static_cast<std::int32_t>(FKeys.size())};
  FKeys.emplace_back(s);
  FMembers.push_back(m);
}

void TFlatTextMap::Grow() {
  std::vector<TSlot> old = std::move(FSlots);
  FSlots.assign(old.empty() ? 64 : old.size() * 2, TSlot{});
  const std::size_t mask = FSlots.size() - 1;
  for (const TSlot& slot : old) {
    if (slot.Entry < 0) continue;
    std::size_t i = slot.Hash & mask;
    while (FSlots[i].Entry >= 0) i = (i + 1) & mask;
    FSlots[i] = slot;
  }
}

std::int32_t TTextKeyIndex::Find(std::string_view s) {
  if (IsPlainAscii(s)) {
    if (std::int32_t m = FAscii.Find(s); m >= 0) return m;
    if (!FCollatedBuilt) return -1;  // only ASCII members so far: the folded look-up decided
  } else {
    if (std::int32_t m = FOther.Find(s); m >= 0) return m;
    BuildCollated();
  }
  auto it = FCollated.find(s);
  if (it == FCollated.end()) return -1;
  // Remember this spelling so that it is found without the collation next time.
  if (IsPlainAscii(s))
    FAscii.Insert(s, it->second);
  else
    FOther.Insert(s, it->second);
  return it->second;
}

void TTextKeyIndex::Add(std::string_view s, std::int32_t m) {
  if (IsPlainAscii(s)) {
    FAscii.Insert(s, m);
    if (FCollatedBuilt)
      FCollated.emplace(std::string(s), m);
    else
      FPending.emplace_back(std::string(s), m);
  } else {
    FOther.Insert(s, m);
    BuildCollated();
    FCollated.emplace(std::string(s), m);
  }
}

void TTextKeyIndex::BuildCollated() {
  if (FCollatedBuilt) return;
  for (auto& [text, m] : FPending) FCollated.emplace(std::move(text), m);
  FPending.clear();
  FPending.shrink_to_fit();
  FCollatedBuilt = true;
}

}  // namespace qd
