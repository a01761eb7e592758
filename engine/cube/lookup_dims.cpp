#include "engine/cube/lookup_dims.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/cube/text_key_index.h"

namespace qd {
namespace {

// One lookup row that brought a new key.
struct TLookupRow {
  std::string TextKey;
  std::int32_t IntKey = 0;
  std::vector<std::string> Attrs;
  std::string ParentText;
  std::int32_t ParentInt = 0;
  std::int32_t RowNo = 0;
};

// Opens the lookup dataset (remembering its state) and checks it is usable.
void OpenLookup(TDataSet& ds, const TOpenStateGuard& guard) {
  if (guard.WasOpen()) {
    ds.First();
    return;
  }
  ds.Open();
  if (ds.Eof()) throw ECubeError(Format(Msg(TMsg::SLookupTableEmpty), ds.Name));
}

TField& LookupField(TDataSet& ds, const std::string& name, const std::string& source) {
  TField* f = name.empty() ? nullptr : ds.FindField(name);
  if (!f) throw ECubeError(Format(Msg(TMsg::SLookupFieldError), source, name));
  return *f;
}

std::vector<std::int32_t> Identity(std::size_t n) {
  std::vector<std::int32_t> v(n);
  std::iota(v.begin(), v.end(), 0);
  return v;
}

// Moves the rows' data into the dimension in the order given by `order`.
void FillLookupDimension(TDimension& dim, std::vector<TLookupRow>& rows,
                         const std::vector<std::size_t>& order, const std::vector<int>& attrSlots,
                         bool hierarchy) {
  const std::size_t n = order.size();
  dim.TextKeys.clear();
  dim.MemberKeys.clear();
  dim.DatabaseOrder.clear();
  dim.Parents.clear();
  for (std::size_t i = 0; i < n; ++i) {
    TLookupRow& row = rows[order[i]];
    if (dim.TextKey)
      dim.TextKeys.push_back(std::move(row.TextKey));
    else
      dim.MemberKeys.push_back(row.IntKey);
    dim.DatabaseOrder.push_back(row.RowNo);
    for (std::size_t a = 0; a < attrSlots.size(); ++a)
      dim.Attributes.Values(attrSlots[a]).push_back(std::move(row.Attrs[a]));
  }
  if (dim.TextKey) dim.MemberKeys = Identity(n);
  dim.TextKeysSorted = dim.TextKey;
  dim.MemberKeysSorted = true;
  if (!hierarchy) return;
  dim.Parents.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const TLookupRow& row = rows[order[i]];
    dim.Parents[i] =
        dim.TextKey ? dim.FindMemberByText(row.ParentText) : dim.FindMemberByKey(row.ParentInt);
  }
}

// The item's attribute names, each once (names compared without regard to case).
std::vector<std::string> DistinctAttributeNames(const TDimSum& item) {
  std::vector<std::string> names;
  for (const std::string& n : SplitNames(item.Attributes))
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& x) { return SameText(x, n); }))
      names.push_back(n);
  return names;
}

// The lookup dataset's fields that a dimension reads.
struct TLookupColumns {
  TField* Id = nullptr;
  TField* Parent = nullptr;  // none without a hierarchy
  std::vector<TField*> Attrs;
};

// Reads the dataset to its end: one row for each key seen for the first time,
// in dataset order.
std::vector<TLookupRow> ReadLookupRows(TDataSet& ds, const TLookupColumns& columns, bool textKey,
                                       TProgressSink& progress) {
  std::vector<TLookupRow> rows;
  TTextKeyIndex seenText;
  std::unordered_map<std::int32_t, std::size_t> seenInt;
  for (std::int32_t rowNo = 0; !ds.Eof(); ds.Next(), ++rowNo) {
    TLookupRow row;
    bool fresh;
    if (textKey) {
      row.TextKey = columns.Id->AsString();
      fresh = seenText.Find(row.TextKey) < 0;
      if (fresh) seenText.Add(row.TextKey, static_cast<std::int32_t>(rows.size()));
    } else {
      row.IntKey = columns.Id->AsInteger();
      fresh = seenInt.emplace(row.IntKey, rows.size()).second;
    }
    if (fresh) {
      for (TField* f : columns.Attrs) row.Attrs.push_back(f->AsString());
      if (columns.Parent) {
        if (textKey)
          row.ParentText = columns.Parent->AsString();
        else
          row.ParentInt = columns.Parent->AsInteger();
      }
      row.RowNo = rowNo;
      rows.push_back(std::move(row));
    }
    progress.Tick();
  }
  return rows;
}

// Positions of the rows in key order (texts by the sorted-list collation).
std::vector<std::size_t> KeyOrder(const std::vector<TLookupRow>& rows, bool textKey) {
  std::vector<std::size_t> order(rows.size());
  std::iota(order.begin(), order.end(), 0);
  if (textKey)
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return CompareText(rows[a].TextKey, rows[b].TextKey) < 0;
    });
  else
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return rows[a].IntKey < rows[b].IntKey; });
  return order;
}

bool TextToInt(std::string_view s, std::int32_t& v) {
  s = Trim(s, " ");
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

}  // namespace

TOpenStateGuard::~TOpenStateGuard() {
  if (FWasOpen || !FDataSet.Active()) return;
  try {
    FDataSet.Close();
  } catch (...) {
    // Closing must not hide the error that is leaving the scope.
  }
}

void ReadLookupTable(TDimension& dim, const TDimSum& item, TProgressSink& progress) {
  TDataSet* ds = item.LookupDataSet();
  if (!ds) return;
  TOpenStateGuard guard(*ds);
  OpenLookup(*ds, guard);
  TLookupColumns columns;
  columns.Id = &LookupField(*ds, item.ID_Field, ds->Name);
  columns.Parent = item.ParentID_Field.empty() ? nullptr : ds->FindField(item.ParentID_Field);
  const bool hierarchy = columns.Parent != nullptr;

  dim.Attributes.Clear();
  dim.Parents.clear();
  const std::vector<std::string> names = DistinctAttributeNames(item);
  for (const std::string& n : names) columns.Attrs.push_back(&ds->FieldByName(n));
  for (const std::string& n : names) dim.Attributes.Add(n);
  std::vector<int> attrSlots;
  for (const std::string& n : names) attrSlots.push_back(dim.Attributes.IndexOf(n));

  progress.Reset();
  progress.SetCounterFormat(Msg(TMsg::SRowsRead));
  progress.SetCaption(Format(Msg(TMsg::SReadingLookupTable), dim.DisplayName));
  std::vector<TLookupRow> rows = ReadLookupRows(*ds, columns, dim.TextKey, progress);
  FillLookupDimension(dim, rows, KeyOrder(rows, dim.TextKey), attrSlots, hierarchy);
  dim.BindDefaultAttribute();
  dim.LookupLoaded = true;
  dim.HasHierarchy = hierarchy;
}

std::optional<std::string> TLookupField::NameOf(std::string_view value) const {
  if (Dimension) {
    const std::vector<std::string>* captions = Dimension->DefaultAttributeValues();
    if (!captions) return std::nullopt;
    int m = -1;
    if (Dimension->TextKey) {
      m = Dimension->FindMemberByText(value);
    } else {
      std::int32_t key;
      if (TextToInt(value, key)) m = Dimension->FindMemberByKey(key);
    }
    if (m < 0 || m >= static_cast<int>(captions->size())) return std::nullopt;
    return (*captions)[static_cast<std::size_t>(m)];
  }
  auto it = std::lower_bound(IDs.begin(), IDs.end(), value, TTextLess());
  if (it == IDs.end() || CompareText(*it, value) != 0) return std::nullopt;
  return Names[static_cast<std::size_t>(it - IDs.begin())];
}

namespace {

TLookupField ReadPartLookup(const TDimComponent& part, TProgressSink& progress) {
  TDataSet& ds = *part.LookupDataSet;
  TOpenStateGuard guard(ds);
  OpenLookup(ds, guard);
  TField& idField = LookupField(ds, part.ID_Field, part.FieldName);
  TField& nameField = LookupField(ds, part.Name_Field, part.FieldName);
  progress.Reset();
  progress.SetCounterFormat(Msg(TMsg::SRowsRead));
  progress.SetCaption(Format(Msg(TMsg::SReadingLookupTable), part.FieldName));
  std::vector<std::pair<std::string, std::string>> pairs;
  TTextKeyIndex seen;
  for (; !ds.Eof(); ds.Next()) {
    std::string id = idField.AsString();
    if (seen.Find(id) < 0) {
      seen.Add(id, 0);
      pairs.emplace_back(std::move(id), nameField.AsString());
    }
    progress.Tick();
  }
  std::sort(pairs.begin(), pairs.end(),
            [](const auto& a, const auto& b) { return CompareText(a.first, b.first) < 0; });
  TLookupField lf;
  for (auto& [id, name] : pairs) {
    lf.IDs.push_back(std::move(id));
    lf.Names.push_back(std::move(name));
  }
  return lf;
}

}  // namespace

void BuildLookupFields(const TDimensions& dims, TLookupFields& out, TProgressSink& progress) {
  out.clear();
  for (const auto& dim : dims) {
    if (!dim->Composite) continue;
    for (const TDimComponent& part : dim->Components) {
      if (part.LookupDataSet) {
        out[part.FieldName] = ReadPartLookup(part, progress);
        continue;
      }
      for (const auto& other : dims) {
        if (other->LookupLoaded && SameText(other->BaseFieldName, part.FieldName)) {
          TLookupField lf;
          lf.Dimension = other.get();
          out[part.FieldName] = std::move(lf);
          break;
        }
      }
    }
  }
}

void SortRangeWorkData(TDimension& dim) {
  const std::size_t n = dim.RangeValues.size();
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  const auto& v = dim.RangeValues;
  const auto& r = dim.RangeRecords;
  // NaN sorts last so that the order stays a strict weak ordering.
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    bool na = std::isnan(v[a]), nb = std::isnan(v[b]);
    if (na != nb) return nb;
    if (!na && v[a] != v[b]) return v[a] < v[b];
    return r[a] > r[b];
  });
  std::vector<double> sv(n);
  std::vector<std::int32_t> sr(n);
  for (std::size_t i = 0; i < n; ++i) {
    sv[i] = v[order[i]];
    sr[i] = r[order[i]];
  }
  dim.RangeValues = std::move(sv);
  dim.RangeRecords = std::move(sr);
}

void ComputeRanges(TDimension& dim, int dimIndex, TFactTable& facts) {
  const auto& v = dim.RangeValues;
  const auto n = static_cast<std::int64_t>(v.size());
  const int c = std::max(dim.SeriesMemberCount, 1);
  std::vector<std::int64_t> bounds;
  std::int64_t cur = 0;
  auto assign = [&](std::int64_t upTo, int range) {
    for (; cur <= upTo && cur < n; ++cur)
      facts.SetMember(dim.RangeRecords[static_cast<std::size_t>(cur)], dimIndex, range);
  };
  if (n > 0) {
    const bool density = dim.TransformMethod == TTransformMethod::tmEqualDensity;
    const double step = density ? static_cast<double>(n) / c : (v[n - 1] - v[0]) / c;
    double b = density ? step : v[0] + step;
    for (int j = 0; j <= c - 2; ++j) {
      std::int64_t e;
      if (density) {
        e = static_cast<std::int64_t>(std::nearbyint(b));  // ties to even
      } else {
        auto it = std::partition_point(v.begin(), v.end(),
                                       [b](double x) { return x < b && b - x >= 1e-100; });
        e = it - v.begin();
      }
      // A boundary past the last value (more ranges than values) ends at the last value.
      e = std::clamp<std::int64_t>(e, 0, n - 1);
      bounds.push_back(e);
      assign(e, j);
      b += step;
    }
    assign(n - 1, c - 1);
  }

  const std::size_t k = bounds.size();
  const std::size_t members = n > 0 ? k + 1 : 0;
  dim.MemberKeys = Identity(members);
  dim.MemberKeysSorted = true;
  dim.DatabaseOrder = Identity(members);
  std::vector<std::string>* captions = dim.MutableDefaultAttributeValues();
  if (!captions) return;
  captions->clear();
  if (members == 0) return;
  auto at = [&](std::int64_t p) { return v[static_cast<std::size_t>(p)]; };
  const std::string& closed = Msg(TMsg::SRangeClosed);
  const std::string& open = Msg(TMsg::SRangeOpen);
  if (k == 0) {
    captions->push_back(Format(closed, at(0), at(n - 1)));
    return;
  }
  captions->push_back(Format(closed, at(0), at(bounds[0])));
  for (std::size_t i = 1; i < k; ++i)
    captions->push_back(Format(open, at(bounds[i - 1]), at(bounds[i])));
  captions->push_back(Format(closed, at(bounds[k - 1]), at(n - 1)));
}

}  // namespace qd
