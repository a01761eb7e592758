// What the grid model reads of a cube: the built dimensions, summaries and fact
// table, the dimension map, and the registration of models. The cube component
// implements it through a small adapter; tests use an in-memory cube.
#pragma once

#include <string>
#include <vector>

#include "engine/cube/dim_map.h"
#include "engine/cube/dimension.h"
#include "engine/cube/fact_table.h"
#include "engine/cube/key_set.h"
#include "engine/cube/vantra.h"

namespace qd {

class TGridInfo;

//! A dimension-map entry of type dsSummary, as the summary settings follow it.
struct TSummarySource {
  int MapIndex = 0;
  std::string FieldName;
  std::string DisplayName;
};

class TGridCube {
 public:
  virtual ~TGridCube() = default;

  //! True while a built cube is held.
  virtual bool IsActive() const = 0;
  //! The built dimensions and summaries (empty while inactive).
  virtual const TDimensions& Dimensions() const = 0;
  virtual const TSummaries& Summaries() const = 0;
  //! The fact records; nullptr while inactive.
  virtual const TFactTable* FactTable() const = 0;
  //! The dsSummary entries of the dimension map, in map order.
  virtual std::vector<TSummarySource> MapSummaries() const = 0;
  //! The key fields of the fact records; nullptr when the cube keeps none.
  virtual TKeySet* KeySet() { return nullptr; }
  //! The fact table for writing edited values back; nullptr when it cannot be written.
  virtual TFactTable* WritableFactTable() { return nullptr; }

  //! Appends the model to the cube's models and notifies it with ccActiveChanged at once.
  virtual void RegisterGridModel(TGridInfo* model) = 0;
  //! Forgets the model; no notification.
  virtual void UnregisterGridModel(TGridInfo* model) = 0;
  //! Discards the built cube after a failed aggregation (notifies ccActiveChanged).
  virtual void Deactivate() = 0;

  int DimensionCount() const { return static_cast<int>(Dimensions().size()); }
  int SummaryCount() const { return static_cast<int>(Summaries().size()); }
};

//! The cube component seen through TGridCube.
class TVantraGridCube : public TGridCube {
 public:
  explicit TVantraGridCube(TCustomVantra& cube) : FCube(cube) {}
  TCustomVantra& Vantra() const { return FCube; }

  bool IsActive() const override { return FCube.Active(); }
  const TDimensions& Dimensions() const override { return FCube.Dimensions(); }
  const TSummaries& Summaries() const override { return FCube.Summaries(); }
  const TFactTable* FactTable() const override { return FCube.FactTable(); }
  std::vector<TSummarySource> MapSummaries() const override;
  TKeySet* KeySet() override { return FCube.KeySet(); }
  TFactTable* WritableFactTable() override { return FCube.FactTable(); }
  void RegisterGridModel(TGridInfo* model) override;
  void UnregisterGridModel(TGridInfo* model) override;
  void Deactivate() override { FCube.SetActive(false); }

 private:
  TCustomVantra& FCube;
};

}  // namespace qd
