#include "model/grid_cube.h"

#include "model/grid_info.h"

namespace qd {

std::vector<TSummarySource> TVantraGridCube::MapSummaries() const {
  std::vector<TSummarySource> out;
  const TDimSums& map = FCube.DimensionMap();
  for (int i = 0; i < map.Count(); ++i) {
    const TDimSum& item = map.Items(i);
    if (item.DimSumType == TDimSumType::dsSummary)
      out.push_back({i, item.BaseFieldName, item.DisplayName});
  }
  return out;
}

void TVantraGridCube::RegisterGridModel(TGridInfo* model) {
  FCube.RegisterGridModel(model);
}

void TVantraGridCube::UnregisterGridModel(TGridInfo* model) {
  FCube.UnregisterGridModel(model);
}

}  // namespace qd
