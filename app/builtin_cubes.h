// The dimension maps of the built-in cubes, fixed at design time: per cube its
// items in map order with field, type, display name and role.
#pragma once

#include <span>
#include <string_view>

#include "engine/cube/vantra.h"

namespace qd {

enum class TBuiltinRole : std::uint8_t {
  brRow,       //!< dimension on the rows
  brCol,       //!< dimension on the columns
  brPage,      //!< dimension on the page
  brSummary,   //!< summary
  brPlain,     //!< unused item
  brPlainPage  //!< unused item whose group is the page
};

struct TBuiltinItem {
  const char* FieldName;
  TFieldType Type;
  const char* DisplayName;  //!< nullptr: the field name
  TBuiltinRole Role;
};

struct TBuiltinCubeMap {
  const char* CubeName;  //!< "GRecCube"
  std::span<const TBuiltinItem> Items;
};

//! The nineteen maps in catalog order.
std::span<const TBuiltinCubeMap> BuiltinCubeMaps();

//! Replaces the cube's map by the design-time map: dimensions sorted by name
//! ascending with their total last, summaries, then the plain items.
void ApplyBuiltinMap(const TBuiltinCubeMap& map, TCustomVantra& cube);

}  // namespace qd
