#include "view/vantra_grid.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QToolButton>
#include <cmath>

#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"
#include "export/grid_export_structure.h"
#include "model/grid_file.h"
#include "view/glyphs.h"
#include "view/grid_dialogs.h"
#include "view/internal_grid.h"
#include "view/large_layout_box.h"
#include "view/message_guard.h"
#include "view/pivot_panels.h"
#include "view/view_reactions.h"

namespace qd {

namespace {

// Rounding to nearest with ties to even, as the drop indexes are computed.
int RoundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

}  // namespace

TCustomVantraGrid::TCustomVantraGrid(QWidget* parent) : QWidget(parent) {
  FModel = std::make_unique<TGridInfo>(this);
  FVisual = std::make_unique<TVisualSettings>(*this);
  FTopStrip = new QWidget(this);
  FToolStrip = new TAggPanel(*this, FTopStrip);
  FRowArea = new TPivotPanel(*this, TDimGroup::dgRow, this);
  FColArea = new TPivotPanel(*this, TDimGroup::dgCol, FTopStrip);
  FPageArea = new TPivotPanel(*this, TDimGroup::dgPage, this);
  FGrid = new TInternalGrid(*this, *FModel, this);
  FToggle = new QToolButton(FGrid);
  FToggle->setGeometry(2, 2, 16, 16);
  FToggle->setAutoRaise(true);
  FToggle->setCheckable(true);
  FToggle->setChecked(true);
  FToggle->setFocusPolicy(Qt::NoFocus);
  FToggle->setIcon(QIcon(NamedPixmap("vtTogglePivot")));
  FToggle->setIconSize(QSize(15, 15));
  connect(FToggle, &QToolButton::clicked, this,
          [this] { Guard([this] { FVisual->SetPivotVisible(!FVisual->PivotVisible()); }); });
  for (TPivotPanel* area : {FRowArea, FColArea, FPageArea})
    area->PanelColor = FVisual->DimPanelColor();
  WireModelEvents();
  FModel->OnPosted = [this] {
    if (FDrainQueued) return;
    FDrainQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { ProcessModelNotifications(); }, Qt::QueuedConnection);
  };
  FGrid->SetDefaultColWidth(FDefaultColWidth);
  ApplyLook();
  ApplyToggleButton();
  RecomputeDimPanelHeight();
  InstallGridDialogs(*this);
  resize(200, 100);
}

TCustomVantraGrid::~TCustomVantraGrid() {
  FModel->OnPosted = nullptr;
  FModel->SetVantra(nullptr);
}

void TCustomVantraGrid::WireModelEvents() {
  FModel->BeforeMoveDim = [this](TGridListener*, int dimId, TDimGroup g, int index, bool& allow) {
    if (BeforeMoveDim) BeforeMoveDim(*this, dimId, g, index, allow);
  };
  FModel->AfterMoveDim = [this](TGridListener*, int dimId, TDimGroup g, int index) {
    if (AfterMoveDim) AfterMoveDim(*this, dimId, g, index);
  };
  FModel->OnExpandDimValue = [this](TGridListener*, int dimId, int valueIndex, bool expanded) {
    if (OnExpandDimValue) OnExpandDimValue(*this, dimId, valueIndex, expanded);
  };
  FModel->OnCompareDimensionMembers = [this](const TDimensionState& s, int a, int b) {
    return OnCompareDimensionMembers ? OnCompareDimensionMembers(s, a, b) : 0;
  };
  FModel->OnEditFactTable = [this](TGridListener*, TDataSet& records, bool& accept) {
    if (OnEditFactTable) OnEditFactTable(*this, records, accept);
  };
}

// ---- Binding and notifications ----

void TCustomVantraGrid::SetVantra(TCustomVantra* cube) {
  if (cube == FCube) return;
  FCube = cube;
  FModel->SetVantra(cube);
  if (!cube) RefreshPivotAreas();
  FGrid->CubeChanged(cube != nullptr);
}

void TCustomVantraGrid::ProcessModelNotifications() {
  FDrainQueued = false;
  Guard([this] { FModel->ProcessNotifications(); });
  FGrid->NotificationsDelivered();
}

void TCustomVantraGrid::GridInfoChanged(TGridInfo&, TChangeKind kind) {
  FGrid->ModelChanged(kind);
  if (ViewReactionTo(kind).RefreshAreas || !FModel->IsActive()) RefreshPivotAreas();
}

void TCustomVantraGrid::RefreshPivotAreas() {
  if (FDimDragging) {
    FAreasStale = true;
    return;
  }
  FAreasStale = false;
  for (TPivotPanel* area : {FColArea, FRowArea, FPageArea}) area->Clear();
  if (FModel->IsActive()) {
    for (TPivotPanel* area : {FColArea, FRowArea, FPageArea})
      for (int dimId : FModel->AxisDims(area->Group()))
        area->AddPanel(dimId, &FModel->DimensionState(dimId));
  }
  Relayout();
  FToolStrip->update();
}

TPivotPanel& TCustomVantraGrid::Area(TDimGroup group) const {
  switch (group) {
    case TDimGroup::dgRow:
      return *FRowArea;
    case TDimGroup::dgCol:
      return *FColArea;
    default:
      return *FPageArea;
  }
}

void TCustomVantraGrid::SetDimPanelsEnabled(bool enabled) {
  for (TPivotPanel* area : {FRowArea, FColArea, FPageArea})
    for (TDimPivotPanel* p : area->Panels()) p->setEnabled(enabled);
}

void TCustomVantraGrid::BeginDimDrag() {
  FDimDragging = true;
  SetDimPanelsEnabled(false);
}

void TCustomVantraGrid::EndDimDrag() {
  FDimDragging = false;
  SetDimPanelsEnabled(true);
  if (FAreasStale) RefreshPivotAreas();
}

// ---- Moving dimensions ----

void TCustomVantraGrid::MoveDimension(TDimGroup sourceGroup, TDimGroup targetGroup, int targetIndex,
                                      int sourceIndex) {
  // Only a dimension coming from the page axis makes the layout larger.
  const int dim = FModel->GetDimAt(static_cast<int>(sourceGroup), sourceIndex);
  int pageDim = -1;
  if (sourceGroup == TDimGroup::dgPage && targetGroup != TDimGroup::dgPage && dim >= 0 &&
      !ConfirmLayout(EstimateDrop(*FModel, dim, targetGroup, targetIndex), pageDim))
    return;
  if (pageDim == dim) return;  // the dragged dimension stays where it was
  FModel->BeginUpdate();
  try {
    FModel->MoveDimAt(static_cast<int>(sourceGroup), sourceIndex, static_cast<int>(targetGroup),
                      targetIndex);
    if (pageDim >= 0) FModel->MoveDim(pageDim, TDimGroup::dgPage, 0);
  } catch (...) {
    FModel->EndUpdate(TChangeKind::ckAxes);
    throw;
  }
  FModel->EndUpdate(TChangeKind::ckAxes);
}

TLargeLayoutChoice TCustomVantraGrid::AskIfLarge(const TLayoutEstimate& e,
                                                 const std::string& largest) {
  if (!e.Exceeds(FVisual->LayoutLimits)) return TLargeLayoutChoice::lcGoOn;
  return AskLargeLayout ? AskLargeLayout(e, largest)
                        : AskLargeLayoutBox(this, e, largest, FVisual->LayoutLimits);
}

bool TCustomVantraGrid::ConfirmLayout(const TLayoutEstimate& e, int& pageDim) {
  pageDim = -1;
  const std::string largest =
      e.LargestDim >= 0 ? FModel->DimensionState(e.LargestDim).DisplayName : std::string();
  const TLargeLayoutChoice choice = AskIfLarge(e, largest);
  if (choice == TLargeLayoutChoice::lcCancel) return false;
  if (choice == TLargeLayoutChoice::lcPageLargest) pageDim = e.LargestDim;
  return true;
}

bool TCustomVantraGrid::ConfirmGridFile(const TGridFileContent& content, TCustomVantra* cube,
                                        std::string& pageDim) {
  if (!content.Layout) return true;
  // The file's own cube, or the one its layout will be laid on.
  TDimensions own;
  const TDimensions* dims = nullptr;
  if (content.HasCube) {
    own = GridFileDimensions(content);
    dims = &own;
  } else if (TCustomVantra* target = cube ? cube : FCube; target && target->Active()) {
    dims = &target->Dimensions();
  }
  if (!dims || dims->empty()) return true;
  const TPivotState& layout = *content.Layout;
  const TLayoutEstimate e = EstimateSavedLayout(*dims, layout, EstimatedColumnsPerLine(*FModel));
  if (!e.Exceeds(FVisual->LayoutLimits)) return true;
  // The largest dimension as the file names it (none without row and column ones).
  std::string field, name;
  if (e.LargestDim >= 0) {
    const TDimension& largest = *(*dims)[static_cast<std::size_t>(e.LargestDim)];
    field = largest.BaseFieldName;
    name = largest.DisplayName;
    for (const TStreamedDimState& s : layout.DimStates)
      if (SameText(s.FieldName, field) && !s.DisplayName.empty()) name = s.DisplayName;
  }
  const TLargeLayoutChoice choice = AskIfLarge(e, name);
  if (choice == TLargeLayoutChoice::lcCancel) return false;
  if (choice == TLargeLayoutChoice::lcPageLargest) pageDim = field;
  return true;
}

bool TCustomVantraGrid::LoadGridFile(const std::string& fileName, TCustomVantra* cube) {
  TGridFileContent content = ReadGridFile(fileName);
  std::string pageDim;
  if (!ConfirmGridFile(content, cube, pageDim)) return false;
  if (cube && cube != FCube) SetVantra(cube);
  FModel->LoadContent(std::move(content), nullptr, [&](TPivotState& layout) {
    if (!pageDim.empty()) LeaveOnPage(layout, pageDim);
  });
  return true;
}

void TCustomVantraGrid::ExpandAllGuarded(TDimensionState& state) {
  int pageDim = -1;
  if (!ConfirmLayout(EstimateLayout(*FModel), pageDim)) return;
  if (pageDim >= 0) FModel->MoveDim(pageDim, TDimGroup::dgPage, 0);
  FModel->ExpandAll(state);  // nothing when the state went to the page axis
}

void TCustomVantraGrid::DropDimension(const TPivotPanel& target, const TDimDragData& dragged,
                                      QPoint pos) {
  const TDimGroup source = dragged.Area;
  const TDimGroup dest = target.Group();
  if (source == TDimGroup::dgPage && dest == TDimGroup::dgPage) return;
  const double width = FVisual->PivotWidth();
  const double height = FDimPanelHeight;
  int sourceIndex = source == TDimGroup::dgRow ? RoundEven(dragged.Pos.y() / height)
                                               : RoundEven(dragged.Pos.x() / width);
  int targetIndex =
      dest == TDimGroup::dgRow ? RoundEven(pos.y() / height) : RoundEven(pos.x() / width);
  if (dest == TDimGroup::dgPage) targetIndex = 0;
  if (source == dest && sourceIndex == targetIndex) return;
  if (source == TDimGroup::dgPage) {
    const auto& pages = FModel->PageDims();
    const auto it = std::find(pages.begin(), pages.end(), dragged.DimId);
    sourceIndex = it == pages.end() ? -1 : static_cast<int>(it - pages.begin());
  }
  Guard([&] { MoveDimension(source, dest, targetIndex, sourceIndex); });
}

std::unique_ptr<TGridExportStructure> TCustomVantraGrid::ExportStructure() {
  if (!FModel->IsActive()) return nullptr;
  return BuildGridExportStructure(*FModel);
}

TGridCoord TCustomVantraGrid::GridCellToDataCell(int col, int row) const {
  return {col - FGrid->FixedCols(), row - FGrid->FixedRows()};
}

// ---- Options ----

TVantraGridOptions TCustomVantraGrid::Options() const {
  return FGrid->Options();
}

void TCustomVantraGrid::SetOptions(TVantraGridOptions value) {
  FGrid->SetOptions(value);
}

void TCustomVantraGrid::SetDefaultColWidth(int value) {
  FDefaultColWidth = value;
  FGrid->SetDefaultColWidth(value);
}

// ---- Visual settings pushed to the parts ----

void TCustomVantraGrid::ApplyLook() {
  const TGridLook& look = FVisual->Look();
  FGrid->Look() = look;
  FGrid->LookChanged();
  QPalette pal = palette();
  pal.setColor(QPalette::Window, look.BackgroundColor);
  setPalette(pal);
  setAutoFillBackground(true);
  for (TPivotPanel* area : {FRowArea, FColArea, FPageArea}) {
    area->SetColor(look.BackgroundColor);
    for (TDimPivotPanel* p : area->Panels()) p->update();
  }
  FToolStrip->update();
}

void TCustomVantraGrid::ApplyDimPanels() {
  const bool xp = FVisual->VisualStyle() == TvtVisualStyle::vsXP;
  FToolStrip->SetColor(FVisual->DimPanelColor());
  for (TPivotPanel* area : {FRowArea, FColArea, FPageArea}) {
    area->PanelColor = FVisual->DimPanelColor();
    for (TDimPivotPanel* p : area->Panels()) {
      p->SetColor(FVisual->DimPanelColor());
      p->SetXPStyle(xp);
    }
  }
}

void TCustomVantraGrid::RecomputeDimPanelHeight() {
  QFont font = FVisual->DimPanelFont();
  font.setBold(true);
  const int h = QFontMetrics(font).height() > 0 ? QFontMetrics(font).height() : 16;
  FDimPanelHeight = std::max(18, h) + h * (FVisual->DimPanelLines() - 1) + 2;
  Relayout();
}

void TCustomVantraGrid::ApplyPivotVisible() {
  FToggle->setChecked(FVisual->PivotVisible());
  ApplyToggleButton();
  Relayout();
}

void TCustomVantraGrid::ApplyPivotWidth() {
  Relayout();
}

void TCustomVantraGrid::ApplyToolButtons() {
  FToolStrip->DimensionMapButton()->setVisible(FVisual->ShowDimensionSettings());
  FToolStrip->SummariesButton()->setVisible(FVisual->ShowSummarySettings());
  FToolStrip->ArrangeButtons();
}

void TCustomVantraGrid::ApplyToggleButton() {
  FToggle->setVisible(FVisual->ShowPivotControlButton());
  FToggle->setChecked(FVisual->PivotVisible());
  FToggle->setToolTip(
      QString::fromStdString(Msg(FToggle->isChecked() ? TMsg::SPivotHide : TMsg::SPivotShow)));
  FToggle->raise();
}

// ---- Geometry of the parts ----

void TCustomVantraGrid::Relayout() {
  const bool pivots = FVisual->PivotVisible();
  const int strip = FDimPanelHeight + 4;
  const int areaWidth = FVisual->PivotWidth() + 2;
  int top = 0;
  FPageArea->setVisible(pivots);
  FTopStrip->setVisible(pivots);
  FRowArea->setVisible(pivots);
  if (pivots) {
    FPageArea->setGeometry(0, 0, width(), strip);
    top = strip;
    FTopStrip->setGeometry(0, top, width(), strip);
    FToolStrip->setGeometry(0, 0, areaWidth, strip);
    FColArea->setGeometry(areaWidth, 0, std::max(0, width() - areaWidth), strip);
    top += strip;
    FRowArea->setGeometry(0, top, areaWidth, std::max(0, height() - top));
    FGrid->setGeometry(areaWidth, top, std::max(0, width() - areaWidth),
                       std::max(0, height() - top));
  } else {
    FGrid->setGeometry(rect());
  }
  for (TPivotPanel* area : {FRowArea, FColArea, FPageArea}) area->Arrange();
  FToggle->raise();
}

void TCustomVantraGrid::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void TCustomVantraGrid::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) RecomputeDimPanelHeight();
}

}  // namespace qd
