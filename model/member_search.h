// Finding members by what the user types: a piece of the caption in any
// letter case, the pinyin of its Han characters ("nanfang" finds "南方") or
// their initials ("nf"). The index is built once for a list of members, in one
// pass over each caption that asks ICU only about characters it has not met
// before; each search is one scan of three flat texts, so typing stays quick
// on hundreds of thousands of members. An index may be built on another thread
// than the one that searches it.
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
    void Scan(std::string_view needle, std::vector<char>& hit) const;
  };
  // Appends the caption's folded text, pinyin and initials to the three
  // haystacks' texts.
  void AppendEntry(std::string_view caption);
  // The syllable of a Han character, nullptr for any other character.
  const std::string* SyllableOf(std::int32_t c);

  std::vector<int> FKeys;
  THaystack FCaptions, FPinyin, FInitials;
  // Per code point of the Basic Multilingual Plane met so far: 0 not yet
  // seen, 1 not Han, else 2 + its syllable's place in FSyllables.
  std::vector<std::uint16_t> FCodePoints;
  std::vector<std::string> FSyllables;
};

}  // namespace qd
