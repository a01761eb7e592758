// The blocks a stored cube is made of: the common block of dimensions and
// summaries, and the dimension block with its attribute list and components.
// Each block's fields are declared once (engine/io/saved_fields.h).
#pragma once

#include "engine/cube/dimension.h"
#include "engine/io/saved_fields.h"

namespace qd::cube_blocks {

void WriteCommon(TTagWriter& w, const TDimensionOrSummary& d);
void ReadCommon(TTagReader& r, TDimensionOrSummary& d);
//! The common block followed by the dimension block.
void WriteDimension(TTagWriter& w, const TDimension& d);
//! The dimension block only; binds the default attribute afterwards.
void ReadDimensionBlock(TTagReader& r, TDimension& d);
//! Raises the stream error when parents or used members leave the member range.
void CheckDimension(const TDimension& d);

}  // namespace qd::cube_blocks
