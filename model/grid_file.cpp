#include "model/grid_file.h"

#include <optional>

#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/progress.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/cube_file_header.h"
#include "engine/io/object_values.h"
#include "engine/io/safe_file.h"
#include "model/grid_info.h"

namespace qd {
namespace {

constexpr TTag kContainer = 0x1200;
constexpr TTag kTagCube = 0x1205, kTagPivotStates = 0x120A, kTagCurrentState = 0x120F,
               kTagUserData = 0x1214;

TCustomVantra* BoundVantra(TGridCube* cube) {
  auto* adapter = dynamic_cast<TVantraGridCube*>(cube);
  return adapter ? &adapter->Vantra() : nullptr;
}

}  // namespace

void TGridInfo::SaveToFile(const std::string& path, int parts, std::span<const std::uint8_t> user) {
  if ((parts & (gfCube | gfPivotStates | gfCurrentState)) == 0) return;
  if (!IsActive()) throw EGenericError(Msg(TMsg::SGridCannotSaveInactive));
  TBusyCursorScope cursor(TBusyCursor::crHourGlass);
  TMemoryStream s;
  TTagWriter w(s);
  w.WriteTag(kContainer);
  if (parts & gfCube)
    if (const TCustomVantra* cube = BoundVantra(FCube))
      WriteObjectInPlace(w, kTagCube, [&] { WriteCubeStream(*cube, w); });
  if ((parts & gfPivotStates) && PivotStates().Count() > 0)
    WriteObjectInPlace(w, kTagPivotStates, [&] { PivotStates().Write(w); });
  if (parts & gfCurrentState) {
    const TPivotState current = CaptureState();
    WriteObjectInPlace(w, kTagCurrentState, [&] { current.Write(w); });
  }
  if (!user.empty()) {
    w.WriteTag(kTagUserData);
    w.WriteBinary(user.data(), user.size());
  }
  w.WriteTag(EndTag(kContainer));
  WriteContainerFile(path, s.Bytes());
}

TGridFileContent ReadGridFile(const std::string& path) {
  TBusyCursorScope cursor(TBusyCursor::crHourGlass);
  TGridFileContent content;
  content.Path = path;
  std::vector<std::uint8_t> code = ReadRegularFile(path);
  ReadDamageable(path, TMsg::SGridFileDamaged, [&] {
    // The code's pages go back while the records are decoded, and the code is
    // not held beside the decoded container.
    content.Container = DecodeCubeContainer(code, kMaxContainerBytes, TRecords::rKeep, true);
    std::vector<std::uint8_t>().swap(code);
    TTagReader r(content.Container.Bytes());
    r.ReadBlock(kContainer, [&](TTag tag) {
      if (tag == kTagCube) content.HasCube = true;
      if (tag != kTagCurrentState) return false;
      TPivotState state;
      ReadObjectInPlace(r, [&] { state.Read(r); });
      content.Layout = std::move(state);
      return true;
    });
  });
  return content;
}

TDimensions GridFileDimensions(const TGridFileContent& content) {
  if (!content.HasCube) return {};
  try {
    // From the container in memory: reading the file again would take its
    // code once more beside the decoded cube.
    return ReadCubeHeader(content.Container).Dimensions;
  } catch (const Exception&) {
    return {};
  }
}

void TGridInfo::LoadFromFile(const std::string& path, TUserBuffer* user) {
  LoadContent(ReadGridFile(path), user);
}

void TGridInfo::LoadContent(TGridFileContent content, TUserBuffer* user,
                            const std::function<void(TPivotState&)>& adjust) {
  TBusyCursorScope cursor(TBusyCursor::crHourGlass);
  ReadDamageable(content.Path, TMsg::SGridFileDamaged, [&] {
    // The fact table read may take the container's block over: the rest of
    // the container is then read from the table's memory.
    TAdoptableBlock adoptable(content.Container);
    LoadFromContainer(content.Container.Bytes(), user, adjust);
  });
}

void TGridInfo::LoadFromContainer(std::span<const std::uint8_t> container, TUserBuffer* user,
                                  const std::function<void(TPivotState&)>& adjust) {
  TTagReader r(container);
  TCustomVantra* cube = BoundVantra(FCube);
  bool cubeRead = false;
  std::optional<TPivotState> layout;
  if (user) user->Received = 0;
  auto requireCube = [&] {
    if (!cubeRead && !IsActive()) throw EGenericError(Msg(TMsg::SGridCannotRestoreState));
  };
  try {
    r.ReadBlock(kContainer, [&](TTag tag) {
      switch (tag) {
        case kTagCube:
          if (!cube) return false;        // a model without a cube component skips it
          if (cubeRead) RaiseBadValue();  // one cube per container (see ReadCubeObject)
          ReadCubeObject(*cube, r);
          cubeRead = true;
          return true;
        case kTagPivotStates: {
          requireCube();
          TPivotStates states;
          ReadObjectInPlace(r, [&] { states.Read(r); });
          FStateStore.Replace(std::move(states));
          return true;
        }
        case kTagCurrentState: {
          requireCube();
          TPivotState state;
          ReadObjectInPlace(r, [&] { state.Read(r); });
          layout = std::move(state);
          return true;
        }
        case kTagUserData:
          return ReadUserData(r, user);
        default:
          return false;
      }
    });
  } catch (...) {
    if (cubeRead) {
      AbandonCubeLoad(*cube);
      PivotStates().Clear();
    }
    throw;
  }
  if (layout && adjust) adjust(*layout);
  if (!cubeRead || !layout) {
    if (cubeRead) FinishCubeLoad(*cube);
    if (layout) ApplyState(*layout);
    return;
  }
  // A new cube and the file's layout are laid out once, as the file's layout:
  // laying out the cube's own first would aggregate a layout nobody sees.
  BeginUpdate();
  try {
    FinishCubeLoad(*cube);
    ApplyState(*layout);
  } catch (...) {
    EndUpdate(TChangeKind::ckCube);
    throw;
  }
  EndUpdate(TChangeKind::ckCube);
}

}  // namespace qd
