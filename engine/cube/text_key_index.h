// Member look-up by text during a build: texts equal under CompareText (without
// regard to case) are one member. Plain ASCII texts (the common case) are found
// in a flat hash table by their case-folded bytes, with no copy per record; the
// collation is consulted only once a text with other characters appears.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cube/dim_map.h"

namespace qd {

//! Open-addressing table from text to member index; compares either exactly or
//! ASCII case-folded. Keeps the first spelling of each key.
class TFlatTextMap {
 public:
  explicit TFlatTextMap(bool folded) : FFolded(folded) {}
  std::int32_t Find(std::string_view s) const;
  //! Adds s (not present) as member m.
  void Insert(std::string_view s, std::int32_t m);
  std::size_t Size() const { return FKeys.size(); }

 private:
  std::uint64_t Hash(std::string_view s) const;
  bool Equal(std::string_view a, std::string_view b) const;
  void Grow();

  struct TSlot {
    std::uint32_t Hash = 0;
    std::int32_t Entry = -1;  // index into FKeys, -1 = empty
  };
  bool FFolded;
  std::vector<TSlot> FSlots;
  std::vector<std::string> FKeys;
  std::vector<std::int32_t> FMembers;
};

class TTextKeyIndex {
 public:
  //! The member of the text, -1 when there is none.
  std::int32_t Find(std::string_view s);
  //! Adds a text that Find did not know as member m.
  void Add(std::string_view s, std::int32_t m);

 private:
  void BuildCollated();

  TFlatTextMap FAscii{true};                                   // plain ASCII members, case-folded
  TFlatTextMap FOther{false};                                  // other spellings seen, as written
  std::map<std::string, std::int32_t, TTextLess> FCollated;    // every member, once needed
  std::vector<std::pair<std::string, std::int32_t>> FPending;  // ASCII members until then
  bool FCollatedBuilt = false;
};

}  // namespace qd
