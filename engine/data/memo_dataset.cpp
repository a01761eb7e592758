#include "engine/data/memo_dataset.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/core/bytes.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

using enum TDataSetState;

constexpr std::int64_t kFirstID = -2147483647;

bool TextMatches(std::string_view fieldText, std::string_view value, TLocateOptions options) {
  std::u32string a = CodePoints(fieldText), b = CodePoints(value);
  if (options.Contains(TLocateOption::loPartialKey)) {
    if (a.size() < b.size()) return false;
    a.resize(b.size());
  }
  if (a.size() != b.size()) return false;
  bool fold = options.Contains(TLocateOption::loCaseInsensitive);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold ? LowerUnicode(a[i]) != LowerUnicode(b[i]) : a[i] != b[i]) return false;
  }
  return true;
}

bool IsMemoTextField(TFieldType t) {
  return t == TFieldType::ftString || t == TFieldType::ftFixedChar ||
         t == TFieldType::ftWideString || IsTextFieldType(t);
}

std::string VariantText(const TVariant& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (auto* d = std::get_if<double>(&v)) return FormatGeneral(*d);
  return {};
}

// Equality of two values after promoting numbers to double.
bool SameValue(const TVariant& a, const TVariant& b) {
  if (a.index() == b.index()) return a == b;
  auto num = [](const TVariant& v, double& d) {
    if (auto* i = std::get_if<std::int64_t>(&v)) return d = static_cast<double>(*i), true;
    if (auto* x = std::get_if<double>(&v)) return d = *x, true;
    if (auto* b = std::get_if<bool>(&v)) return d = *b ? 1 : 0, true;
    return false;
  };
  double x, y;
  return num(a, x) && num(b, y) && x == y;
}

}  // namespace

const std::uint8_t* TvtRecord::Data() const {
  return FOwner->RecordData(FIndex);
}

TvtMemoDataSet::TvtMemoDataSet() : FNextID(kFirstID) {}

TvtMemoDataSet::~TvtMemoDataSet() = default;

void TvtMemoDataSet::AddFieldDef(const std::string& name, TFieldType type, int size,
                                 const std::string& displayLabel) {
  FieldDefs.push_back({name, type, size, displayLabel});
}

// ---- storage ---------------------------------------------------------------

void TvtMemoDataSet::SetCapacity(int n) {
  if (n == FCapacity) return;
  if (n < Count() || n > kMaxCapacity)
    throw EGenericError(Format(Msg(TMsg::SMemoCapacityError), n));
  if (Active()) {
    std::size_t rs = RecordSize();
    std::unique_ptr<std::uint8_t[]> block;
    if (n > 0 && rs > 0) {
      block = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(n) * rs);
      if (Count() > 0) std::memcpy(block.get(), FBlock.get(), Count() * rs);
    }
    FBlock = std::move(block);
  }
  FCapacity = n;
}

void TvtMemoDataSet::SetIncCapacity(int n) {
  if (n >= 0 && n != FIncCapacity) FIncCapacity = n;
}

void TvtMemoDataSet::GrowIfFull() {
  if (Count() < FCapacity) return;
  if (FIncCapacity == 0) throw EGenericError(Msg(TMsg::SMemoCannotAppend));
  Fire(OnIncCapacity);
  std::int64_t n = std::int64_t{FCapacity} + FIncCapacity;
  if (n > kMaxCapacity) throw EGenericError(Format(Msg(TMsg::SMemoCapacityError), n));
  SetCapacity(static_cast<int>(n));
  // The handler may have set the step to 0: never write past the block.
  if (Count() >= FCapacity) throw EGenericError(Msg(TMsg::SMemoCannotAppend));
}

std::uint8_t* TvtMemoDataSet::RecordData(int index) const {
  if (!FBlock) return nullptr;
  return FBlock.get() + static_cast<std::size_t>(index) * RecordSize();
}

TvtRecord& TvtMemoDataSet::Records(int i) const {
  if (i < 0 || i >= Count()) throw EGenericError(Format(Msg(TMsg::SMemoRecordIndex), i));
  return *FRecords[i];
}

TvtRecord* TvtMemoDataSet::CurrentRecord() const {
  if (State() == dsInsert || FCur < 0) return nullptr;
  return FRecords[FCur].get();
}

int TvtMemoDataSet::FindByID(std::int32_t id) const {
  auto it = std::lower_bound(FRecords.begin(), FRecords.end(), id,
                             [](const auto& r, std::int32_t v) { return r->FID < v; });
  if (it == FRecords.end() || (*it)->FID != id) return -1;
  return static_cast<int>(it - FRecords.begin());
}

// ---- open and close --------------------------------------------------------

void TvtMemoDataSet::DoOpen() {
  Fire(BeforeOpen);
  FLayout.Build(FieldDefs);
  for (const TFieldDef& def : FieldDefs) {
    TField& f = AddDataField(def.Name, def.DataType, TMemoLayout::EffectiveSize(def));
    if (!def.DisplayLabel.empty()) f.SetDisplayLabel(def.DisplayLabel);
  }
  FRecords.clear();
  FBlock.reset();
  if (FCapacity > 0 && RecordSize() > 0)
    FBlock = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(FCapacity) * RecordSize());
  FCur = -1;
  FNextID = kFirstID;
  FNextAutoInc = 1;
  FEditing = false;
}

void TvtMemoDataSet::DoAfterOpen() {
  Fire(AfterOpen);
}

void TvtMemoDataSet::DoClose() {
  Fire(BeforeClose);
  FRecords.clear();
  FBlock.reset();
  FLayout.Clear();
  FEditBuffer.clear();
  FEditVariants.clear();
  FEditing = false;
  FCur = -1;
  FNextID = kFirstID;
  FNextAutoInc = 1;
}

void TvtMemoDataSet::DoAfterClose() {
  Fire(AfterClose);
}

void TvtMemoDataSet::CheckOpen() const {
  if (!Active()) throw EGenericError(Format("%s: %s", Name, Msg(TMsg::SMemoClosedDataSet)));
}

void TvtMemoDataSet::CheckBrowseMode() {
  if (State() == dsEdit || State() == dsInsert) Post();
}

// ---- navigation ------------------------------------------------------------

bool TvtMemoDataSet::Accepts(int index) {
  if (!FFiltered || !FOnFilterRecord) return true;
  bool accept = true;
  // Show the candidate to the handler as the current record.
  struct TRestore {
    TvtMemoDataSet& D;
    int Index;
    bool Bof, Eof;
    ~TRestore() {
      D.FFilterIndex = Index;
      D.SetBof(Bof);
      D.SetEof(Eof);
    }
  } restore{*this, FFilterIndex, Bof(), Eof()};
  FFilterIndex = index;
  SetBof(false);
  SetEof(false);
  try {
    FOnFilterRecord(*this, accept);
  } catch (...) {
    accept = true;
    if (OnFilterError) OnFilterError(*this, std::current_exception());
  }
  return accept;
}

int TvtMemoDataSet::NextAccepted(int from, int step) {
  for (int i = from; i >= 0 && i < Count(); i += step)
    if (Accepts(i)) return i;
  return -1;
}

void TvtMemoDataSet::MoveTo(int index) {
  FCur = index;
  SetBof(false);
  SetEof(false);
  CalcCurrentRecord();
}

void TvtMemoDataSet::ScrollTo(int index) {
  Fire(BeforeScroll);
  MoveTo(index);
  Fire(AfterScroll);
}

void TvtMemoDataSet::DoAfterScroll() {
  Fire(AfterScroll);
}

bool TvtMemoDataSet::DoFirst() {
  CheckBrowseMode();
  Fire(BeforeScroll);
  FCur = NextAccepted(0, 1);
  return FCur >= 0;
}

bool TvtMemoDataSet::DoNext() {
  CheckBrowseMode();
  Fire(BeforeScroll);
  if (FCur < 0) return false;
  int i = NextAccepted(FCur + 1, 1);
  if (i < 0) return false;
  FCur = i;
  return true;
}

bool TvtMemoDataSet::DoPrior() {
  CheckBrowseMode();
  Fire(BeforeScroll);
  if (FCur < 0) return false;
  int i = NextAccepted(FCur - 1, -1);
  if (i < 0) return false;
  FCur = i;
  return true;
}

bool TvtMemoDataSet::DoLast() {
  CheckBrowseMode();
  Fire(BeforeScroll);
  FCur = NextAccepted(Count() - 1, -1);
  return FCur >= 0;
}

std::int64_t TvtMemoDataSet::DoRecNo() const {
  return FCur + 1;
}

void TvtMemoDataSet::SetRecNo(std::int64_t n) {
  CheckOpen();
  CheckBrowseMode();
  if (n < 1 || n > Count()) return;
  int index = static_cast<int>(n - 1);
  if (Accepts(index)) ScrollTo(index);
}

void TvtMemoDataSet::SetFiltered(bool value) {
  if (value == FFiltered) return;
  if (Active()) CheckBrowseMode();
  FFiltered = value;
  if (Active()) First();
}

void TvtMemoDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
  if (Active()) CheckBrowseMode();
  FOnFilterRecord = std::move(handler);
  if (Active() && FFiltered) First();
}

// ---- bookmarks and Locate --------------------------------------------------

TBookmark TvtMemoDataSet::GetBookmark() const {
  const TvtRecord* r = CurrentRecord();
  if (!r) return {};
  TBookmark b(4, '\0');
  Store<std::int32_t>(b.data(), r->FID);
  return b;
}

bool TvtMemoDataSet::BookmarkValid(const TBookmark& bookmark) const {
  if (!Active() || bookmark.size() != 4) return false;
  return FindByID(Load<std::int32_t>(bookmark.data())) >= 0;
}

void TvtMemoDataSet::GotoBookmark(const TBookmark& bookmark) {
  CheckOpen();
  CheckBrowseMode();
  if (!BookmarkValid(bookmark)) throw EGenericError(Msg(TMsg::SMemoRecordNotFound));
  int index = FindByID(Load<std::int32_t>(bookmark.data()));
  if (Accepts(index)) ScrollTo(index);
}

bool TvtMemoDataSet::MatchesCurrent(const std::vector<TField*>& fields,
                                    const std::vector<TVariant>& values,
                                    TLocateOptions options) const {
  for (std::size_t k = 0; k < fields.size(); ++k) {
    const TField& f = *fields[k];
    const TVariant& want = values[k];
    if (VarIsNull(want)) {
      if (!f.IsNull()) return false;
    } else if (IsMemoTextField(f.DataType())) {
      if (!TextMatches(f.AsString(), VariantText(want), options)) return false;
    } else if (f.IsNull() || !SameValue(f.Value(), want)) {
      return false;
    }
  }
  return true;
}

bool TvtMemoDataSet::Locate(std::string_view keyFields, const std::vector<TVariant>& keyValues,
                            TLocateOptions options) {
  CheckOpen();
  CheckBrowseMode();
  std::vector<TField*> fields;
  bool calculated = false;
  for (const std::string& name : SplitNames(keyFields)) {
    fields.push_back(&FieldByName(name));
    calculated |= fields.back()->Calculated();
  }
  if (fields.size() != keyValues.size())
    throw EGenericError(Format(Msg(TMsg::SMemoLocateValueCount), std::string(keyFields)));
  // Bring every value into its field's stored form, so that dates, times and
  // numbers given as text compare as the field would hold them.
  std::vector<TVariant> values(keyValues);
  std::vector<std::uint8_t> scratch(RecordSize());
  std::vector<TVariant> scratchVariants(FLayout.VariantCount());
  for (std::size_t k = 0; k < fields.size(); ++k) {
    const TField& f = *fields[k];
    if (f.Calculated() || VarIsNull(values[k]) || IsMemoTextField(f.DataType())) continue;
    try {
      FLayout.Write(scratch.data(), scratchVariants, f.Index(), values[k], f.FieldName());
      values[k] = FLayout.Read(scratch.data(), scratchVariants, f.Index());
    } catch (const EGenericError&) {
      return false;  // a value the field cannot hold matches no record
    }
  }
  if (FCur < 0) return false;
  if (MatchesCurrent(fields, values, options)) {
    MoveTo(FCur);
    return true;
  }
  int start = FCur;
  for (int i = NextAccepted(0, 1); i >= 0; i = NextAccepted(i + 1, 1)) {
    if (i == start) continue;
    FCur = i;
    if (calculated) CalcCurrentRecord();
    if (MatchesCurrent(fields, values, options)) {
      FCur = start;
      ScrollTo(i);
      return true;
    }
  }
  FCur = start;
  if (calculated) CalcCurrentRecord();
  return false;
}

}  // namespace qd
