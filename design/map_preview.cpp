#include "design/map_preview.h"

#include <algorithm>
#include <set>

#include "engine/cube/dim_map.h"

namespace qd {

namespace {

// Opens a data set for the length of a read and puts it back as it was.
class TOpenFor {
 public:
  explicit TOpenFor(TDataSet& ds) : FDs(ds), FWasOpen(ds.Active()) { ds.Open(); }
  ~TOpenFor() {
    if (!FWasOpen) FDs.Close();
  }
  TOpenFor(const TOpenFor&) = delete;
  TOpenFor& operator=(const TOpenFor&) = delete;

 private:
  TDataSet& FDs;
  bool FWasOpen;
};

using TMemberSet = std::set<std::string, TTextLess>;

std::int64_t LookupKeys(TDataSet& lookup, const std::string& idField) {
  TOpenFor open(lookup);
  TField* id = lookup.FindField(idField);
  if (!id) return 0;
  TMemberSet keys;
  for (lookup.First(); !lookup.Eof(); lookup.Next()) keys.insert(id->AsString());
  return static_cast<std::int64_t>(keys.size());
}

// One dimension's counting: the fact fields it reads and the distinct keys met.
struct TCounter {
  const TFieldData* Dim;
  std::vector<TField*> Fields;  // one per part; a single one for a plain field
  TMemberSet Keys;
  bool Missing = false;
};

}  // namespace

TMapPreview PreviewMap(TDataSet& facts, const std::vector<const TFieldData*>& dimensions,
                       const std::vector<std::vector<std::string>>& compositeParts,
                       int maxRows) {
  TMapPreview out;
  TOpenFor open(facts);
  for (int i = 0; i < facts.FieldCount(); ++i) out.Columns.push_back(facts.Fields(i).FieldName());
  std::vector<TCounter> counters;
  for (std::size_t d = 0; d < dimensions.size(); ++d) {
    TCounter c{dimensions[d], {}, {}, false};
    const std::vector<std::string> names =
        c.Dim->Composite && d < compositeParts.size() ? compositeParts[d]
                                                      : std::vector<std::string>{c.Dim->BaseFieldName};
    for (const std::string& n : names) {
      TField* f = facts.FindField(n);
      c.Missing = c.Missing || !f;
      c.Fields.push_back(f);
    }
    counters.push_back(std::move(c));
  }
  for (facts.First(); !facts.Eof(); facts.Next(), ++out.RecordCount) {
    if (out.RecordCount < maxRows) {
      std::vector<std::string> row;
      for (int i = 0; i < facts.FieldCount(); ++i) row.push_back(facts.Fields(i).AsString());
      out.Rows.push_back(std::move(row));
    }
    for (TCounter& c : counters) {
      if (c.Missing || (c.Dim->LookupDataSet && !c.Dim->Composite)) continue;
      // A composite's members are every prefix of its paths.
      std::string path;
      for (std::size_t p = 0; p < c.Fields.size(); ++p) {
        path += (p ? ";" : "") + c.Fields[p]->AsString();
        c.Keys.insert(path);
      }
    }
  }
  for (TCounter& c : counters) {
    std::int64_t members = static_cast<std::int64_t>(c.Keys.size());
    if (c.Missing) {
      members = 0;
    } else if (c.Dim->LookupDataSet && !c.Dim->Composite) {
      members = LookupKeys(*c.Dim->LookupDataSet, c.Dim->ID_Field);
    } else if (c.Dim->EnableTransformation) {
      members = std::min<std::int64_t>(members, std::max(1, c.Dim->SeriesMemberCount));
    }
    out.Dimensions.push_back({c.Dim->DisplayName, members});
  }
  return out;
}

}  // namespace qd
