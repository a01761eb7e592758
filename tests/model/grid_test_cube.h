// An in-memory cube for the grid model's tests: dimensions with text members
// (optionally hierarchical), summaries and fact records, with the cube's
// registration and notification of models.
#pragma once

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/grid_cube.h"
#include "model/grid_info.h"

namespace qd {
inline void PrintTo(TChangeKind kind, std::ostream* os) {
  *os << static_cast<int>(kind);
}
}  // namespace qd

namespace qd::test {

using enum TChangeKind;

class TTestCube : public TGridCube {
 public:
  //! Adds a dimension whose members are the captions; parents (one per member,
  //! -1 at the top) make it hierarchical.
  TDimension& AddDim(const std::string& name, std::vector<std::string> captions, TDimGroup group,
                     std::vector<int> parents = {}) {
    auto d = std::make_unique<TDimension>();
    d->BaseFieldName = name;
    d->DisplayName = name;
    d->MapIndex = static_cast<int>(FDims.size() + FSums.size());
    d->TextKey = true;
    d->TextKeys = std::move(captions);
    for (int m = 0; m < static_cast<int>(d->TextKeys.size()); ++m) {
      d->MemberKeys.push_back(m);
      d->DatabaseOrder.push_back(m);
    }
    d->Group = group;
    d->HasHierarchy = !parents.empty();
    d->Parents = std::move(parents);
    FDims.push_back(std::move(d));
    return *FDims.back();
  }
  TSummary& AddSummary(const std::string& name) {
    auto s = std::make_unique<TSummary>();
    s->BaseFieldName = name;
    s->DisplayName = name;
    s->MapIndex = static_cast<int>(FDims.size() + FSums.size());
    FSums.push_back(std::move(s));
    return *FSums.back();
  }
  void AddFact(std::vector<int> members, std::vector<double> values) {
    FStaged.push_back({std::move(members), std::move(values)});
  }
  //! Builds the fact table from the staged facts and notifies code 2.
  void Activate() {
    FFacts = std::make_unique<TFactTable>(static_cast<int>(FDims.size()),
                                          static_cast<int>(FSums.size()));
    for (const auto& f : FStaged) {
      const std::int32_t r = FFacts->Append();
      for (std::size_t d = 0; d < f.Members.size(); ++d)
        FFacts->SetMember(r, static_cast<int>(d), f.Members[d]);
      for (std::size_t s = 0; s < f.Values.size(); ++s)
        FFacts->SetValue(r, static_cast<int>(s), f.Values[s]);
    }
    FActive = true;
    Notify(TCubeChange::ccActiveChanged);
  }
  void Notify(TCubeChange code) {
    const auto models = FModels;
    for (TGridInfo* m : models) m->CubeChanged(code);
  }

  bool IsActive() const override { return FActive; }
  const TDimensions& Dimensions() const override { return FActive ? FDims : FNoDims; }
  const TSummaries& Summaries() const override { return FActive ? FSums : FNoSums; }
  const TFactTable* FactTable() const override { return FActive ? FFacts.get() : nullptr; }
  //! Edits are written straight into the facts; the cube keeps no key fields.
  TFactTable* WritableFactTable() override { return FActive ? FFacts.get() : nullptr; }
  TKeySet* KeySet() override { return &FKeys; }
  std::vector<TSummarySource> MapSummaries() const override {
    std::vector<TSummarySource> out;
    for (const auto& s : FSums) out.push_back({s->MapIndex, s->BaseFieldName, s->DisplayName});
    return out;
  }
  void RegisterGridModel(TGridInfo* model) override {
    FModels.push_back(model);
    model->CubeChanged(TCubeChange::ccActiveChanged);
  }
  void UnregisterGridModel(TGridInfo* model) override { std::erase(FModels, model); }
  void Deactivate() override {
    FActive = false;
    Notify(TCubeChange::ccActiveChanged);
  }

  TDimensions& Dims() { return FDims; }
  TSummaries& Sums() { return FSums; }
  TFactTable* Facts() { return FFacts.get(); }

 private:
  struct TStaged {
    std::vector<int> Members;
    std::vector<double> Values;
  };
  TDimensions FDims, FNoDims;
  TSummaries FSums, FNoSums;
  std::vector<TStaged> FStaged;
  std::unique_ptr<TFactTable> FFacts;
  TKeySet FKeys;
  std::vector<TGridInfo*> FModels;
  bool FActive = false;
};

//! Records the notifications delivered to it.
class TRecorder : public TGridListener {
 public:
  void GridInfoChanged(TGridInfo&, TChangeKind kind) override { Kinds.push_back(kind); }
  std::vector<TChangeKind> Kinds;
};

//! True when `node` is `target` or lies below it in the member tree.
inline bool CoversNode(const TDimensionState& s, int target, int node) {
  for (; node >= 0; node = s.ParentNode(node))
    if (node == target) return true;
  return false;
}

//! True when the model aggregates fact record r into the cell of `key` (a node
//! per active dimension, -1 for Total): a visible leaf member under the key's
//! node on every active dimension, and a visible member of every filtered page.
inline bool NaiveRecordInCell(TGridInfo& grid, const TFactTable& facts, int r,
                              const TMemberKey& key) {
  const auto& active = grid.Aggregation().ActiveDims();
  for (std::size_t p = 0; p < active.size(); ++p) {
    const TDimensionState& s = grid.DimensionState(active[p]);
    const int node = s.NodeOfMember(facts.Member(r, active[p]));
    if (s.HasChildren(node) || !s.IsNodeVisible(node)) return false;
    if (key[p] >= 0 && !CoversNode(s, key[p], node)) return false;
  }
  for (int d : grid.PageDims()) {
    const TDimensionState& s = grid.DimensionState(d);
    if (s.FilterActive && !s.IsNodeVisible(s.NodeOfMember(facts.Member(r, d)))) return false;
  }
  return true;
}

//! Region (flat, with a Chinese member) and Product (Fruit > Apple, Pear;
//! Veg > Kale) on rows, Year on columns, Channel on the page axis; summaries
//! Amount and Qty over four facts. Not activated.
//! Turns every record into a weighted one, as a cube grouped in the database
//! holds: record r stands for count(r) equal facts that share its values.
template <class TCount>
void WeighAsEqualFacts(TFactTable& facts, TCount&& count) {
  auto weights = std::make_unique<TFactWeights>(facts.SumCount());
  weights->Resize(facts.RecordCount());
  for (std::int32_t r = 0; r < facts.RecordCount(); ++r) {
    double* row = weights->Row(r);
    const double k = count(r);
    row[0] = k;
    for (int s = 0; s < facts.SumCount(); ++s) {
      const double x = facts.Value(r, s) / k;
      double* parts = row + 1 + TFactWeights::kPerSummary * s;
      parts[TFactWeights::wpSum2] = k * x * x;
      parts[TFactWeights::wpSum3] = k * x * x * x;
      parts[TFactWeights::wpSum4] = k * x * x * x * x;
      parts[TFactWeights::wpMin] = parts[TFactWeights::wpMax] = x;
    }
  }
  facts.SetWeights(std::move(weights));
}

inline void AddSampleSales(TTestCube& cube) {
  cube.AddDim("Region", {"North", "南方", "West"}, TDimGroup::dgRow);
  cube.AddDim("Product", {"Fruit", "Apple", "Pear", "Veg", "Kale"}, TDimGroup::dgRow,
              {-1, 0, 0, -1, 3});
  cube.AddDim("Year", {"2024", "2025"}, TDimGroup::dgCol);
  cube.AddDim("Channel", {"Shop", "Web"}, TDimGroup::dgPage);
  cube.AddSummary("Amount");
  cube.AddSummary("Qty");
  cube.AddFact({0, 1, 0, 0}, {10, 1});
  cube.AddFact({0, 2, 1, 1}, {20.5, 2});
  cube.AddFact({1, 1, 0, 1}, {5, 1});
  cube.AddFact({1, 4, 1, 0}, {7, 3});
}

//! Adds `dims` random dimensions "D0", "D1", ... with one to `maxMembers`
//! members "d<i>m<j>" each, hierarchical when pick(0, hierarchyOdds) is 0, on a
//! random axis. pick(lo, hi) draws an integer in [lo, hi].
template <class TPick>
void AddRandomDims(TTestCube& cube, TPick&& pick, int dims, int maxMembers, int hierarchyOdds) {
  for (int d = 0; d < dims; ++d) {
    const int members = pick(1, maxMembers);
    std::vector<std::string> captions;
    std::vector<int> parents;
    const bool hierarchy = pick(0, hierarchyOdds) == 0;
    for (int m = 0; m < members; ++m) {
      captions.push_back("d" + std::to_string(d) + "m" + std::to_string(m));
      if (hierarchy) parents.push_back(m == 0 || pick(0, 2) == 0 ? -1 : pick(0, m - 1));
    }
    cube.AddDim("D" + std::to_string(d), captions, static_cast<TDimGroup>(pick(0, 2)), parents);
  }
}

//! Adds `facts` records with random members; values() gives each record's summaries.
template <class TPick, class TValues>
void AddRandomFacts(TTestCube& cube, TPick&& pick, int facts, TValues&& values) {
  for (int r = 0; r < facts; ++r) {
    std::vector<int> members;
    for (const auto& d : cube.Dims())
      members.push_back(pick(0, static_cast<int>(d->TextKeys.size()) - 1));
    cube.AddFact(members, values());
  }
}

//! Compares text with tests/data/grid/<name>.txt; QD_UPDATE_GOLDEN=1 rewrites it.
inline void ExpectGolden(const std::string& name, const std::string& text) {
  const std::string path = std::string(QD_TEST_DATA_DIR) + "/grid/" + name + ".txt";
  if (const char* u = std::getenv("QD_UPDATE_GOLDEN"); u && std::string(u) == "1") {
    std::ofstream(path, std::ios::binary) << text;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "missing golden file " << path << "; run with QD_UPDATE_GOLDEN=1\n" << text;
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), text) << "golden file " << path;
}

}  // namespace qd::test
