// Finding members by what the user types: a piece of the caption in any
// letter case, the pinyin of its Han characters ("nanfang" finds "南方") or
// their initials ("nf"). The index is built once for a list of members; each
// search is one scan of three flat texts, so typing stays quick on hundreds of
// thousands of members.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

//! The pinyin of a text: Han characters as their toneless syllables, letters
//! and digits lower-cased, everything else dropped ("南方 A1" → "nanfanga1");
//! `initials` gets the first letter of each syllable instead ("nfa1").
void PinyinOf(std::string_view text, std::string& pinyin, std::string& initials);

class TMemberSearch {
 public:
  void Clear();
  //! Adds a member under its key (keys need not be dense or ordered).
  void Add(int key, std::string_view caption);
  int Count() const { return static_cast<int>(FKeys.size()); }

  //! Keys of the members whose caption contains `text` ignoring case, or whose
  //! pinyin or initials contain it (spaces in `text` ignored there), in the
  //! order they were added. An empty or blank text matches every member.
  std::vector<int> Find(std::string_view text) const;

 private:
  // One text per way of matching: the entries joined by '\n', with the start
  // of each entry.
  struct THaystack {
    std::string Text;
    std::vector<std::uint32_t> Starts;
    void Add(std::string_view entry);
    void Scan(std::string_view needle, std::vector<char>& hit) const;
  };
  std::vector<int> FKeys;
  THaystack FCaptions, FPinyin, FInitials;
};

}  // namespace qd
