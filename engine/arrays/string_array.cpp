#include "engine/arrays/string_array.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

// One collator per thread: Chinese (pinyin) rules at secondary strength, which
// ignores case but keeps every other difference.
class TCollator {
 public:
  TCollator() {
    UErrorCode status = U_ZERO_ERROR;
    FCollator = ucol_open("zh", &status);
    if (U_FAILURE(status)) {
      status = U_ZERO_ERROR;
      FCollator = ucol_open("", &status);
    }
    if (U_FAILURE(status)) FCollator = nullptr;
    if (FCollator) {
      ucol_setStrength(FCollator, UCOL_SECONDARY);
      // Keep digits and Latin letters before Han text, as analysts' sorted
      // lists have always shown them.
      const int32_t noReorder[] = {UCOL_REORDER_CODE_NONE};
      status = U_ZERO_ERROR;
      ucol_setReorderCodes(FCollator, noReorder, 1, &status);
    }
  }
  ~TCollator() {
    if (FCollator) ucol_close(FCollator);
  }
  TCollator(const TCollator&) = delete;
  TCollator& operator=(const TCollator&) = delete;
  UCollator* Get() const { return FCollator; }

 private:
  UCollator* FCollator = nullptr;
};

int Collate(std::string_view a, std::string_view b) {
  thread_local TCollator collator;
  if (collator.Get() != nullptr) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r = ucol_strcollUTF8(collator.Get(), a.data(), static_cast<int32_t>(a.size()),
                                          b.data(), static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status)) return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
  }
  return CompareNoCase(a, b);
}

// The collation order of the single ASCII characters, taken from the collator
// once: rank 0 marks the characters it ignores (most control characters).
// Text made only of ranked characters collates as the sequence of its ranks,
// so such text is compared without the collator; anything else goes to it.
class TAsciiRanks {
 public:
  TAsciiRanks() {
    std::vector<char> chars;
    for (int c = 1; c < 128; ++c) {
      char ch = static_cast<char>(c);
      if (Collate(std::string_view(&ch, 1), std::string_view()) != 0) chars.push_back(ch);
    }
    std::stable_sort(chars.begin(), chars.end(), [](char x, char y) {
      return Collate(std::string_view(&x, 1), std::string_view(&y, 1)) < 0;
    });
    std::uint8_t rank = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
      if (i == 0 ||
          Collate(std::string_view(&chars[i - 1], 1), std::string_view(&chars[i], 1)) != 0)
        ++rank;
      FRank[static_cast<unsigned char>(chars[i])] = rank;
    }
  }

  // True when both texts are made of ranked characters; result is then set.
  bool Compare(std::string_view a, std::string_view b, int& result) const {
    std::size_t n = std::min(a.size(), b.size());
    int diff = 0;
    for (std::size_t i = 0; i < n; ++i) {
      std::uint8_t x = Rank(a[i]), y = Rank(b[i]);
      if (x == 0 || y == 0) return false;
      if (diff == 0 && x != y) diff = x < y ? -1 : 1;
    }
    std::string_view rest = a.size() > n ? a.substr(n) : b.substr(n);
    for (char c : rest)
      if (Rank(c) == 0) return false;
    result = diff != 0 ? diff : a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    return true;
  }

 private:
  std::uint8_t Rank(char c) const {
    auto u = static_cast<unsigned char>(c);
    return u < 128 ? FRank[u] : 0;
  }
  std::uint8_t FRank[128] = {};
};

}  // namespace

int CompareTextByCollator(std::string_view a, std::string_view b) {
  return Collate(a, b);
}

int CompareText(std::string_view a, std::string_view b) {
  static const TAsciiRanks ranks;
  int result;
  if (ranks.Compare(a, b, result)) return result;
  return Collate(a, b);
}

TStringArray::TStringArray() : TBaseArray(4) {
  FItems.resize(Capacity());
}

// ---- storage -----------------------------------------------------------------

void TStringArray::ResizeStorage(std::int32_t n) {
  FItems.resize(n);
  FItems.shrink_to_fit();
}

void TStringArray::MoveItems(std::int32_t from, std::int32_t to, std::int32_t n) {
  if (n <= 0 || from == to) return;
  auto first = FItems.begin() + from;
  if (to < from)
    std::move(first, first + n, FItems.begin() + to);
  else
    std::move_backward(first, first + n, FItems.begin() + to + n);
}

void TStringArray::ZeroItem(std::int32_t i) {
  FItems[i] = TEntry{};
}

void TStringArray::SwapItems(std::int32_t i, std::int32_t j) {
  std::swap(FItems[i], FItems[j]);
}

void* TStringArray::ItemPointer(std::int32_t i) {
  return &FItems[i];
}

// ---- items -------------------------------------------------------------------

const std::string& TStringArray::Get(std::int32_t i) const {
  CheckIndex(i);
  return FItems[i].Text;
}

void TStringArray::Put(std::int32_t i, std::string s) {
  CheckIndex(i);
  FItems[i].Text = std::move(s);
}

void* TStringArray::GetObject(std::int32_t i) const {
  CheckIndex(i);
  return FItems[i].Object;
}

void TStringArray::PutObject(std::int32_t i, void* object) {
  CheckIndex(i);
  FItems[i].Object = object;
}

void TStringArray::Insert(std::int32_t i, std::string s) {
  InsertSlot(i);
  FItems[i].Text = std::move(s);
}

bool TStringArray::Find(std::string_view s, std::int32_t& index) const {
  std::int64_t low = 0, high = static_cast<std::int64_t>(Count()) - 1;
  bool found = false;
  while (low <= high) {
    std::int64_t mid = (low + high) / 2;
    int c = CompareText(FItems[mid].Text, s);
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates() != TDuplicates::dupAccept) low = mid;
      }
    }
  }
  index = static_cast<std::int32_t>(low);
  return found;
}

std::int32_t TStringArray::IndexOf(std::string_view s) const {
  std::int32_t index;
  if (Sorted()) return Find(s, index) ? index : -1;
  for (std::int32_t i = 0; i < Count(); ++i)
    if (CompareText(FItems[i].Text, s) == 0) return i;
  return -1;
}

std::int32_t TStringArray::Add(std::string s) {
  std::int32_t index = Count();
  if (Sorted() && Find(s, index)) {
    if (Duplicates() == TDuplicates::dupIgnore) return index;
    if (Duplicates() == TDuplicates::dupError) throw EArrayError(Msg(TMsg::SArrayDuplicate));
  }
  Insert(index, std::move(s));
  return index;
}

std::int32_t TStringArray::AddObject(std::string s, void* object) {
  std::int32_t index = Add(std::move(s));
  FItems[index].Object = object;
  return index;
}

void TStringArray::SetSorted(bool value) {
  if (value && !Sorted()) Sort();
  TBaseArray::SetSorted(value);
}

void TStringArray::Sort() {
  TBaseArray::Sort([this](std::int32_t i, std::int32_t j) {
    return CompareText(FItems[i].Text, FItems[j].Text);
  });
}

void TStringArray::ClearStrings() {
  for (std::int32_t i = 0; i < Count(); ++i) FItems[i].Text.clear();
}

void TStringArray::AddStrings(const TStringArray& source) {
  if (&source == this) {
    std::vector<std::string> copy = ToVector();
    for (auto& s : copy) Add(std::move(s));
    return;
  }
  for (std::int32_t i = 0; i < source.Count(); ++i) Add(source.FItems[i].Text);
}

void TStringArray::Assign(const TBaseArray& source) {
  if (&source == this) return;
  const auto* strings = dynamic_cast<const TStringArray*>(&source);
  if (strings == nullptr) throw EArrayError(Msg(TMsg::SArrayGeneralError));
  Clear();
  SetCount(strings->Count());
  for (std::int32_t i = 0; i < Count(); ++i) FItems[i].Text = strings->FItems[i].Text;
  SetFlagsFrom(*strings);
}

std::vector<std::string> TStringArray::ToVector() const {
  std::vector<std::string> out;
  out.reserve(Count());
  for (std::int32_t i = 0; i < Count(); ++i) out.push_back(FItems[i].Text);
  return out;
}

// ---- stream form -------------------------------------------------------------

void TStringArray::Write(TTagWriter& writer) const {
  WriteForm(writer, TStreamForm::sfValues);
}

std::int32_t TStringArray::Size() const {
  if (Count() == 0) return 0;
  std::int32_t size = 4 * kTagSize + FlagsSize() + SizeOfInteger(Count());
  for (std::int32_t i = 0; i < Count(); ++i) size += SizeOfString(FItems[i].Text);
  return size;
}

void TStringArray::Read(TTagReader& reader) {
  ReadForm(reader, TStreamForm::sfValues);
}

void TStringArray::WriteItems(TTagWriter& writer) const {
  for (std::int32_t i = 0; i < Count(); ++i) writer.WriteString(FItems[i].Text);
}

void TStringArray::ReadItems(TTagReader& reader, std::int32_t count) {
  SetCount(count);
  try {
    for (std::int32_t i = 0; i < count; ++i) FItems[i].Text = reader.ReadString();
  } catch (const Exception&) {
    Clear();
    throw EArrayError(Msg(TMsg::SArrayGeneralError));
  }
}

}  // namespace qd
