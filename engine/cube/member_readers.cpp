#include "engine/cube/member_readers.h"

#include <numeric>
#include <unordered_map>

#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/cube/text_key_index.h"

namespace qd {
namespace {

// Text and range dimensions and composites caption their members with one
// attribute, "Default attribute".
std::vector<std::string>& ResetDefaultAttribute(TDimension& dim) {
  dim.DefaultAttributeName = Msg(TMsg::SDefaultAttribute);
  dim.Attributes.Clear();
  dim.Attributes.Add(dim.DefaultAttributeName);
  dim.BindDefaultAttribute();
  return *dim.MutableDefaultAttributeValues();
}

std::vector<std::string>& Captions(TDimension& dim) {
  if (auto* v = dim.MutableDefaultAttributeValues()) return *v;
  return ResetDefaultAttribute(dim);
}

std::vector<std::int32_t> Identity(std::size_t n) {
  std::vector<std::int32_t> v(n);
  std::iota(v.begin(), v.end(), 0);
  return v;
}

std::string MissingText(const TDimension& dim, const std::string& value) {
  // The template shows the value as an integer; text keys show their text.
  std::string fmt = Msg(TMsg::SLookupHasntTheValue);
  if (auto p = fmt.rfind("%d"); p != std::string::npos) fmt.replace(p, 2, "%s");
  return Format(fmt, dim.DisplayName, value);
}

// Member per text code of the field, for datasets that number their texts.
class TCodeCache {
 public:
  static constexpr std::int32_t kUnknown = -1;
  std::int32_t Get(std::int32_t code) const {
    return code >= 0 && static_cast<std::size_t>(code) < FMembers.size()
               ? FMembers[static_cast<std::size_t>(code)]
               : kUnknown;
  }
  void Put(std::int32_t code, std::int32_t m) {
    if (code < 0 || code >= kMaxCode) return;
    if (static_cast<std::size_t>(code) >= FMembers.size())
      FMembers.resize(static_cast<std::size_t>(code) + 1, kUnknown);
    FMembers[static_cast<std::size_t>(code)] = m;
  }

 private:
  static constexpr std::int32_t kMaxCode = 1 << 24;
  std::vector<std::int32_t> FMembers;
};

// The field's display text, lent when the dataset can, else copied into `buffer`.
std::string_view TextOf(const TField& f, std::string& buffer) {
  std::string_view v;
  if (f.TextView(v)) return v;
  buffer = f.AsString();
  return buffer;
}

class TTextReader : public TMemberReader {
 public:
  TTextReader(const TReaderContext& c)
      : FDim(*c.Dim), FField(c.DataSet->FieldByName(FDim.BaseFieldName)) {
    if (!c.Refresh) {
      ResetDefaultAttribute(FDim);
      FDim.DatabaseOrder.clear();
    }
    FCaptions = &Captions(FDim);
    for (std::size_t i = 0; i < FCaptions->size(); ++i)
      FMembers.Add((*FCaptions)[i], static_cast<std::int32_t>(i));
  }
  std::int32_t Read(std::int32_t) override {
    std::int32_t code;
    if (!FField.TextCode(code)) return Resolve();
    std::int32_t m = FCodes.Get(code);
    if (m >= 0) return m;
    m = Resolve();
    if (m >= 0) FCodes.Put(code, m);
    return m;
  }
  void Finish() override {
    FDim.MemberKeys = Identity(FCaptions->size());
    FDim.MemberKeysSorted = true;
  }
  std::string MissingValueMessage() const override { return MissingText(FDim, FValue); }

 private:
  std::int32_t Resolve() {
    std::string_view v = TextOf(FField, FBuffer);
    if (std::int32_t found = FMembers.Find(v); found >= 0) return found;
    FValue.assign(v);
    auto m = static_cast<std::int32_t>(FCaptions->size());
    FCaptions->push_back(FValue);
    FMembers.Add(FValue, m);
    FDim.DatabaseOrder.push_back(m);
    return m;
  }

  TDimension& FDim;
  TField& FField;
  std::vector<std::string>* FCaptions;
  TTextKeyIndex FMembers;
  TCodeCache FCodes;
  std::string FValue, FBuffer;
};

class TIntReader : public TMemberReader {
 public:
  TIntReader(const TReaderContext& c)
      : FDim(*c.Dim), FField(c.DataSet->FieldByName(FDim.BaseFieldName)) {
    if (!c.Refresh) {
      FDim.MemberKeys.clear();
      FDim.DatabaseOrder.clear();
    }
    for (std::size_t i = 0; i < FDim.MemberKeys.size(); ++i)
      FMembers.emplace(FDim.MemberKeys[i], static_cast<std::int32_t>(i));
  }
  std::int32_t Read(std::int32_t) override {
    FValue = FField.AsInteger();
    if (auto it = FMembers.find(FValue); it != FMembers.end()) return it->second;
    auto m = static_cast<std::int32_t>(FDim.MemberKeys.size());
    FDim.MemberKeys.push_back(FValue);
    FMembers.emplace(FValue, m);
    FDim.DatabaseOrder.push_back(m);
    return m;
  }
  void Finish() override { FDim.MemberKeysSorted = false; }
  std::string MissingValueMessage() const override {
    return Format(Msg(TMsg::SLookupHasntTheValue), FDim.DisplayName, FValue);
  }

 private:
  TDimension& FDim;
  TField& FField;
  std::unordered_map<std::int32_t, std::int32_t> FMembers;
  std::int32_t FValue = 0;
};

class TLookupReader : public TMemberReader {
 public:
  TLookupReader(const TReaderContext& c)
      : FDim(*c.Dim), FField(c.DataSet->FieldByName(FDim.BaseFieldName)) {
    // The used members are counted afresh: a refresh replaces every record.
    FUsed.assign(static_cast<std::size_t>(FDim.MemberCount()), 0);
    if (FDim.TextKey)
      for (std::size_t i = 0; i < FDim.TextKeys.size(); ++i)
        FText.Add(FDim.TextKeys[i], static_cast<std::int32_t>(i));
    else
      for (std::size_t i = 0; i < FDim.MemberKeys.size(); ++i)
        FInt.emplace(FDim.MemberKeys[i], static_cast<std::int32_t>(i));
  }
  std::int32_t Read(std::int32_t) override {
    std::int32_t m = -1;
    if (FDim.TextKey) {
      std::int32_t code;
      const bool coded = FField.TextCode(code);
      if (coded) m = FCodes.Get(code);
      if (m < 0) {
        std::string_view v = TextOf(FField, FBuffer);
        m = FText.Find(v);
        if (m < 0) FValue.assign(v);
        if (m >= 0 && coded) FCodes.Put(code, m);
      }
    } else {
      FIntValue = FField.AsInteger();
      if (auto it = FInt.find(FIntValue); it != FInt.end()) m = it->second;
    }
    if (m < 0) return -1;
    FLastMarked = FUsed[static_cast<std::size_t>(m)] ? -1 : m;
    FUsed[static_cast<std::size_t>(m)] = 1;
    return m;
  }
  // A skipped record leaves no trace among the used members.
  void Undo() override {
    if (FLastMarked >= 0) FUsed[static_cast<std::size_t>(FLastMarked)] = 0;
    FLastMarked = -1;
  }
  void Finish() override {
    FDim.UsedMembers.clear();
    for (std::size_t m = 0; m < FUsed.size(); ++m)
      if (FUsed[m]) FDim.UsedMembers.push_back(static_cast<std::int32_t>(m));
  }
  std::string MissingValueMessage() const override {
    if (FDim.TextKey) return MissingText(FDim, FValue);
    return Format(Msg(TMsg::SLookupHasntTheValue), FDim.DisplayName, FIntValue);
  }

 private:
  TDimension& FDim;
  TField& FField;
  std::vector<std::uint8_t> FUsed;
  TTextKeyIndex FText;
  TCodeCache FCodes;
  std::unordered_map<std::int32_t, std::int32_t> FInt;
  std::string FValue, FBuffer;
  std::int32_t FIntValue = 0;
  std::int32_t FLastMarked = -1;
};

class TCompositeReader : public TMemberReader {
 public:
  TCompositeReader(const TReaderContext& c) : FDim(*c.Dim) {
    for (const std::string& name : SplitNames(FDim.ComposedFields, TEmptyName::enStop)) {
      FParts.push_back(&c.DataSet->FieldByName(name));
      const TLookupField* lf = nullptr;
      if (c.LookupFields)
        if (auto it = c.LookupFields->find(name); it != c.LookupFields->end()) lf = &it->second;
      FLookups.push_back(lf);
    }
    if (!c.Refresh) {
      ResetDefaultAttribute(FDim);
      FDim.TextKeys.clear();
      FDim.Parents.clear();
      FDim.DatabaseOrder.clear();
    }
    FCaptions = &Captions(FDim);
    for (std::size_t i = 0; i < FDim.TextKeys.size(); ++i)
      FMembers.Add(FDim.TextKeys[i], static_cast<std::int32_t>(i));
  }
  std::int32_t Read(std::int32_t) override {
    std::int32_t parent = -1;
    FPath.clear();
    for (std::size_t p = 0; p < FParts.size(); ++p) {
      std::string_view value = TextOf(*FParts[p], FBuffer);
      if (p) FPath += ';';
      FPath += value;
      if (std::int32_t found = FMembers.Find(FPath); found >= 0) {
        parent = found;
        continue;
      }
      auto m = static_cast<std::int32_t>(FDim.TextKeys.size());
      FDim.TextKeys.push_back(FPath);
      std::optional<std::string> name = FLookups[p] ? FLookups[p]->NameOf(value) : std::nullopt;
      FCaptions->push_back(name ? *name : std::string(value));
      FDim.Parents.push_back(parent);
      FDim.DatabaseOrder.push_back(m);
      FMembers.Add(FPath, m);
      parent = m;
    }
    return parent;
  }
  void Finish() override {
    FDim.MemberKeys = Identity(FDim.TextKeys.size());
    FDim.MemberKeysSorted = true;
    FDim.TextKeysSorted = false;
    FDim.HasHierarchy = true;
  }
 private:
  TDimension& FDim;
  std::vector<TField*> FParts;
  std::vector<const TLookupField*> FLookups;
  std::vector<std::string>* FCaptions;
  TTextKeyIndex FMembers;
  std::string FPath, FBuffer;
};

class TRangeReader : public TMemberReader {
 public:
  TRangeReader(const TReaderContext& c)
      : FDim(*c.Dim),
        FField(c.DataSet->FieldByName(FDim.BaseFieldName)),
        FIndex(c.DimIndex),
        FFacts(*c.Facts) {
    // Every value is read again, by a refresh too: the ranges follow them.
    ResetDefaultAttribute(FDim);
    FDim.RangeValues.clear();
    FDim.RangeRecords.clear();
  }
  std::int32_t Read(std::int32_t record) override {
    FDim.RangeValues.push_back(FField.AsFloat());
    FDim.RangeRecords.push_back(record);
    return 0;  // the range is known once every value is read
  }
  void Undo() override {
    FDim.RangeValues.pop_back();
    FDim.RangeRecords.pop_back();
  }
  void Finish() override {
    SortRangeWorkData(FDim);
    ComputeRanges(FDim, FIndex, FFacts);
  }
 private:
  TDimension& FDim;
  TField& FField;
  int FIndex;
  TFactTable& FFacts;
};

}  // namespace

std::unique_ptr<TMemberReader> MakeMemberReader(const TReaderContext& c) {
  const TDimension& d = *c.Dim;
  if (d.EnableTransformation) return std::make_unique<TRangeReader>(c);
  if (d.LookupLoaded) return std::make_unique<TLookupReader>(c);
  if (d.Composite) return std::make_unique<TCompositeReader>(c);
  if (d.TextKey) return std::make_unique<TTextReader>(c);
  return std::make_unique<TIntReader>(c);
}

}  // namespace qd
