// What a dimension map will give before the cube is built: the first rows of
// the fact query and how many members each dimension of the map will have.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "design/dim_map_nodes.h"

namespace qd {

struct TMapPreview {
  std::vector<std::string> Columns;             //!< the fact query's field names
  std::vector<std::vector<std::string>> Rows;   //!< the first rows, as display texts
  std::int64_t RecordCount = 0;                 //!< every record of the query
  struct TDimCount {
    std::string Caption;  //!< the dimension's display name
    std::int64_t Members = 0;
  };
  std::vector<TDimCount> Dimensions;  //!< in the order given
};

//! Reads the fact query once from first to last: keeps its first `maxRows`
//! rows and counts the members of each dimension as the build would make
//! them: distinct values (text without regard to case), distinct paths of a
//! composite's parts, every key of a lookup table, at most SeriesMemberCount
//! ranges. The data sets are left open or closed as they were. A dimension
//! whose field the query lacks counts no members.
TMapPreview PreviewMap(TDataSet& facts, const std::vector<const TFieldData*>& dimensions,
                       const std::vector<std::vector<std::string>>& compositeParts,
                       int maxRows = 200);

}  // namespace qd
