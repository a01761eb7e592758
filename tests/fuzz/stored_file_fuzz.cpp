// Loads arbitrary bytes as a whole stored file: a local cube file (.vtc), a
// grid-data file (.vtg) or a grid-state file (.vts), through decompression,
// the container, the cube stream, the pivot states and the model that applies
// them. Bad files must end in a Quarrydesk exception, never a crash, a leak or
// an out-of-bounds read; what loads must draw, and must save to bytes that
// load again.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/cube/cube_file.h"
#include "engine/core/errors.h"
#include "engine/io/lzss.h"
#include "model/grid_dump.h"
#include "model/grid_info.h"

namespace {

void LoadCube(const std::vector<std::uint8_t>& container) {
  qd::TVantra cube;
  try {
    qd::TMemoryStream s(container);
    qd::LoadCubeFromStream(cube, s);
  } catch (const qd::Exception&) {
    if (cube.Active()) std::abort();
    return;
  }
  if (!cube.Active()) return;
  qd::TMemoryStream again;
  qd::SaveCubeToStream(cube, again);
  qd::TVantra copy;
  again.Seek(0);
  qd::LoadCubeFromStream(copy, again);  // our own output: must not throw
}

void LoadGrid(const std::vector<std::uint8_t>& container) {
  qd::TVantra cube;
  qd::TGridInfo grid;
  grid.SetVantra(&cube);
  for (int pass = 0; pass < 2; ++pass) {
    try {
      grid.LoadFromContainer(container);
    } catch (const qd::Exception&) {
      return;
    }
    if (!grid.IsActive()) return;
    qd::DumpGrid(grid);
    // The layout written back applies to the model it came from.
    const qd::TPivotState state = grid.CaptureState();
    qd::TMemoryStream s;
    qd::TTagWriter w(s);
    state.Write(w);
    qd::TPivotState back;
    qd::TTagReader r(s.Bytes());
    back.Read(r);
    grid.ApplyState(back);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> container = qd::DecompressBytes({data, size});
  LoadCube(container);
  LoadGrid(container);
  return 0;
}
