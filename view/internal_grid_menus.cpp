// The header cells' interactions: regions of the grid, the context menus of
// dimension titles, member labels, summary and function headers, the menu key,
// and the value sort from a click on a sub-function header.
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <algorithm>

#include "engine/core/messages.h"
#include "model/cell_evidence.h"
#include "model/grid_info.h"
#include "view/explain_change_form.h"
#include "view/internal_grid.h"
#include "view/message_guard.h"
#include "view/quick_menu.h"
#include "view/vantra_grid.h"

namespace qd {

namespace {

using namespace quick_id;

// The node a Total label stands for in the member operations (none for a
// grand total).
TLabelNode* StandInOf(TLabelNode& label) {
  return label.IsTotal() ? label.Parent : &label;
}

std::string Caption(TMsg id) {
  return Msg(id);
}

}  // namespace

// ---- Regions ----

TGridRegion TInternalGrid::RegionAt(QPoint pos) const {
  if (!FValid) return TGridRegion::grNone;
  const TGridCoord cell = MouseCoord(pos.x(), pos.y());
  if (cell.X < 0) return TGridRegion::grNone;
  const int r = FLayout.R(), c = FLayout.C();
  const int fr = FLayout.FixedCols(), fc = FLayout.FixedRows();
  const int a = cell.X, b = cell.Y;
  if (a >= fr && b >= fc) return TGridRegion::grData;
  if (r > 0 && b >= c && b <= fc - 1 && a >= 0 && a < fr) return TGridRegion::grRowTitle;
  if (c > 0 && b >= 0 && b < c && a >= 0 && a < fr) return TGridRegion::grColTitle;
  if (r > 0 && b >= fc && a >= 0 && a < fr) return TGridRegion::grRowLabel;
  if (c > 0 && a >= fr && b >= 0 && b < c) return TGridRegion::grColLabel;
  if (a >= fr && b == c) return TGridRegion::grSummary;
  if (a >= fr && b == c + 1) return TGridRegion::grFunction;
  if (a >= fr && b == c + 2) return TGridRegion::grSubFunction;
  return TGridRegion::grNone;
}

// ---- Building the menus ----

bool TInternalGrid::BuildQuickMenu(QPoint pos) {
  FQuickMenu->Clear();
  SyncWithModel();
  if (!FValid) return false;
  ComputeGeometry();
  BuildMenuFor(RegionAt(pos), pos);
  return !FQuickMenu->Empty();
}

bool TInternalGrid::BuildMenuFor(TGridRegion region, QPoint pos) {
  switch (region) {
    case TGridRegion::grRowTitle:
    case TGridRegion::grColTitle: {
      const int axis = region == TGridRegion::grRowTitle ? 0 : 1;
      if (const TCaptionNode* title =
              FModel.FindCaptionNode(FModel.CaptionNodes(axis), pos.x(), pos.y()))
        BuildTitleMenu(*title);
      break;
    }
    case TGridRegion::grRowLabel:
    case TGridRegion::grColLabel: {
      const bool columns = region == TGridRegion::grColLabel;
      if (TLabelNode* label = FModel.FindLabelNode(FModel.Tree(columns ? 1 : 0), pos.x(), pos.y()))
        BuildLabelMenu(*label, columns);
      break;
    }
    case TGridRegion::grSummary:
    case TGridRegion::grFunction:
      if (const TSubLevelNode* node =
              FModel.FindSubLevelNode(FModel.SubLevelNodes(), pos.x(), pos.y())) {
        if (region == TGridRegion::grSummary)
          BuildFunctionMenu(*node);
        else
          BuildSubFunctionMenu(*node);
      }
      break;
    case TGridRegion::grData:
      BuildDataCellMenu(MouseCoord(pos.x(), pos.y()));
      break;
    default:
      break;
  }
  return !FQuickMenu->Empty();
}

void TInternalGrid::BuildTitleMenu(const TCaptionNode& title) {
  if (!title.State) return;
  TQuickMenu& menu = *FQuickMenu;
  menu.Title = &title;
  const TDimensionState& state = *title.State;
  for (int i = 0; i < 3; ++i) {
    const auto appearance = static_cast<TTotalAppearance>(i);
    menu.AddItem(TotalAppearanceText(appearance),
                 state.TotalAppearance == appearance ? TQuickCheck::qcRadio : TQuickCheck::qcPlain,
                 kTotalAppearance + i);
  }
  const std::vector<int>& axis = FModel.AxisDims(state.Group);
  const bool last = !axis.empty() && axis.back() == title.DimIndex;
  if (!last || state.LevelCount() > 1) {
    menu.AddItem("-", TQuickCheck::qcPlain, -1);
    menu.AddItem(Caption(TMsg::SMenuExpandAll), TQuickCheck::qcPlain, kExpandAll);
    menu.AddItem(Caption(TMsg::SMenuCollapseAll), TQuickCheck::qcPlain, kCollapseAll);
  }
}

// A data cell offers the explanation of its change against the previous
// line, enabled where there is one to explain.
void TInternalGrid::BuildDataCellMenu(const TGridCoord& cell) {
  TQuickMenu& menu = *FQuickMenu;
  menu.DataRow = cell.Y - FixedRows();
  menu.DataColumn = cell.X - FixedCols();
  menu.AddItem(Caption(TMsg::SMenuExplainChange), TQuickCheck::qcPlain, kExplainChange)
      ->setEnabled(CanExplainChange(FModel, menu.DataRow, menu.DataColumn));
}

void TInternalGrid::BuildLabelMenu(TLabelNode& label, bool columnAxis) {
  TQuickMenu& menu = *FQuickMenu;
  menu.Label = &label;
  menu.ColumnAxis = columnAxis;
  if (label.HasButton()) {
    if (label.IsExpanded()) {
      menu.AddItem(Caption(TMsg::SMenuCollapseNode), TQuickCheck::qcPlain, kCollapseNode);
    } else {
      if (label.NextDimButton)
        menu.AddItem(Caption(TMsg::SMenuExpandNode), TQuickCheck::qcPlain, kExpandNode);
      if (label.HierarchyButton)
        menu.AddItem(Caption(TMsg::SMenuShowChildren), TQuickCheck::qcPlain, kShowChildren);
    }
  }
  TLabelNode* member = StandInOf(label);
  if (!member || !member->State) return;
  TDimensionState& state = *member->State;
  // The built-in group "其它" is always there; the group items appear once
  // the user has made groups of his own.
  if (state.GroupCount() > 1 && !state.IsGroupNode(member->Member) &&
      !state.IsInGroup(member->Member)) {
    TQuickMenuItem* move = menu.AddItem(Caption(TMsg::SMenuMoveToGroup), TQuickCheck::qcPlain, 0);
    TQuickMenuItem* follow =
        menu.AddItem(Caption(TMsg::SMenuGroupFollowing), TQuickCheck::qcPlain, 0);
    for (int g = 0; g < state.GroupCount(); ++g) {
      const std::string& name = state.Groups[static_cast<std::size_t>(g)]->Caption;
      menu.AddSubItem(move, name, TQuickCheck::qcPlain, kMoveToGroup + g);
      menu.AddSubItem(follow, name, TQuickCheck::qcPlain, kGroupFollowing + g);
    }
  }
  if (!menu.Empty()) menu.AddItem("-", TQuickCheck::qcPlain, -1);
  menu.AddItem(Caption(TMsg::SMenuHideFollowing), TQuickCheck::qcPlain, kHideFollowing);
  menu.AddItem(Caption(TMsg::SMenuHideOthers), TQuickCheck::qcPlain, kHideOthers);
  // Hidden members come back from here too.
  if (state.FilterActive)
    menu.AddItem(Caption(TMsg::SMenuShowAllMembers), TQuickCheck::qcPlain, kShowAllMembers);
}

void TInternalGrid::BuildFunctionMenu(const TSubLevelNode& node) {
  if (FModel.LowestSubLevelNode() < TSubLevelNodeType::ltFunction || !node.Summary) return;
  FQuickMenu->Caption = &node;
  const TFunctionDefs& defs = FModel.FunctionDefs();
  std::vector<std::string> leftOut;
  for (int f = 0; f < defs.Count() && f < kFunctionCount; ++f) {
    if (!defs.Items(f).UserAllowed) continue;
    if (!FModel.FunctionOffered(f)) {
      const std::string why = AggregatedRefusal(static_cast<TFunction>(f));
      if (std::find(leftOut.begin(), leftOut.end(), why) == leftOut.end()) leftOut.push_back(why);
      continue;
    }
    const bool visible = node.Summary->Function(f).Visible();
    FQuickMenu->AddItem(defs.Items(f).DisplayName,
                        visible ? TQuickCheck::qcChecked : TQuickCheck::qcPlain, kFunction + f);
  }
  // Why functions are missing: greyed lines under the offered ones.
  if (!leftOut.empty()) FQuickMenu->AddItem("-", TQuickCheck::qcPlain, -1);
  for (const std::string& why : leftOut)
    FQuickMenu->AddItem(why, TQuickCheck::qcPlain, -1)->setEnabled(false);
}

void TInternalGrid::BuildSubFunctionMenu(const TSubLevelNode& node) {
  if (FModel.LowestSubLevelNode() < TSubLevelNodeType::ltSubFunction || !node.Summary) return;
  FQuickMenu->Caption = &node;
  const TFunctionInfo& function = node.Summary->Function(node.FunctionIndex);
  for (int sf = 0; sf < kSubFunctionCount; ++sf)
    FQuickMenu->AddItem(SubFunctionDisplayName(sf),
                        function.SubFunction(sf).Visible ? TQuickCheck::qcChecked
                                                         : TQuickCheck::qcPlain,
                        kSubFunction + sf);
}

// ---- Showing the menus ----

void TInternalGrid::PopupMenuAt(QPoint viewportPos) {
  if (FQuickMenu->Empty()) return;
  FQuickMenu->popup(viewport()->mapToGlobal(viewportPos));
}

void TInternalGrid::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  SyncWithModel();
  if (!FValid || Sizing() || Selecting()) return;
  if (event->reason() == QContextMenuEvent::Keyboard) {
    OpenKeyboardMenu();
    return;
  }
  if (!FLook.ShowPopups) return;
  const QPoint pos = event->pos();
  if (BuildQuickMenu(pos)) PopupMenuAt(pos);
}

void TInternalGrid::OpenKeyboardMenu() {
  SyncWithModel();
  if (!FValid || !FLook.ShowPopups) return;
  ComputeGeometry();
  // The headers of the current cell that have a menu: its row and column
  // labels, its summary and function header, the titles of both axes.
  struct TChoice {
    std::string Text;
    std::function<void()> Build;
  };
  std::vector<TChoice> choices;
  auto offer = [&](std::string text, std::function<void()> build) {
    FQuickMenu->Clear();
    build();
    if (!FQuickMenu->Empty()) choices.push_back({std::move(text), std::move(build)});
  };
  const int row = Current().Y - FixedRows(), col = Current().X - FixedCols();
  // The cell's own menu first, where it has something to offer.
  if (CanExplainChange(FModel, row, col))
    offer(Caption(TMsg::SMenuExplainChange), [this, cell = Current()] { BuildDataCellMenu(cell); });
  for (TLabelNode* n = FModel.GetRowLine(row); n; n = n->Parent)
    offer(FModel.GetNodeCaption(*n), [this, n] { BuildLabelMenu(*n, false); });
  for (TLabelNode* n = FModel.GetColumnLine(col); n; n = n->Parent)
    offer(FModel.GetNodeCaption(*n), [this, n] { BuildLabelMenu(*n, true); });
  const auto& columns = FModel.DataColumns();
  if (col >= 0 && col < static_cast<int>(columns.size())) {
    const TDataColumnInfo info = FModel.DescribeDataColumn(col);
    for (const TSubLevelNode* n = columns[static_cast<std::size_t>(col)]; n; n = n->Parent) {
      if (n->Type == TSubLevelNodeType::ltSummary)
        offer(info.SummaryName, [this, n] { BuildFunctionMenu(*n); });
      else if (n->Type == TSubLevelNodeType::ltFunction)
        offer(info.FunctionName, [this, n] { BuildSubFunctionMenu(*n); });
    }
  }
  for (int axis = 0; axis < 2; ++axis)
    for (const TCaptionNode& t : FModel.CaptionNodes(axis))
      offer(t.State && !t.State->DisplayName.empty() ? t.State->DisplayName
                                                     : FModel.GetDimName(t.DimIndex),
            [this, &t] { BuildTitleMenu(t); });
  FQuickMenu->Clear();
  if (choices.empty()) return;
  const QPoint anchor = CellRect(Current().X, Current().Y).center();
  if (choices.size() == 1) {
    choices.front().Build();
    PopupMenuAt(anchor);
    return;
  }
  if (!FKeyboardMenu) FKeyboardMenu = new QMenu(this);
  FKeyboardMenu->clear();
  for (const TChoice& c : choices) {
    QAction* a = FKeyboardMenu->addAction(QString::fromStdString(c.Text));
    connect(a, &QAction::triggered, this, [this, build = c.Build, anchor] {
      // The chooser closes first; the header's own menu then takes its place.
      QMetaObject::invokeMethod(
          this,
          [this, build, anchor] {
            FQuickMenu->Clear();
            build();
            PopupMenuAt(anchor);
          },
          Qt::QueuedConnection);
    });
  }
  FKeyboardMenu->popup(viewport()->mapToGlobal(anchor));
}

// ---- Menu commands ----

void TInternalGrid::QuickMenuClick(int id) {
  TQuickMenu& menu = *FQuickMenu;
  if (menu.Title && menu.Title->State) {
    TDimensionState& state = *menu.Title->State;
    if (id >= kTotalAppearance && id < kTotalAppearance + 3)
      FModel.SetTotalAppearance(state, static_cast<TTotalAppearance>(id - kTotalAppearance));
    else if (id == kExpandAll)
      FControl.ExpandAllGuarded(state);
    else if (id == kCollapseAll)
      FModel.CollapseAll(state);
  } else if (menu.Label) {
    RunLabelCommand(id);
  } else if (menu.DataRow >= 0 && id == kExplainChange) {
    OpenExplainChangeForm(FControl, menu.DataRow, menu.DataColumn);
  } else if (menu.Caption) {
    if (id >= kFunction && id < kFunction + kFunctionCount)
      ToggleFunction(*menu.Caption, id - kFunction);
    else if (id >= kSubFunction && id < kSubFunction + kSubFunctionCount)
      ToggleSubFunction(*menu.Caption, id - kSubFunction);
  }
}

void TInternalGrid::RunLabelCommand(int id) {
  TLabelNode& label = *FQuickMenu->Label;
  const int axis = FQuickMenu->ColumnAxis ? 1 : 0;
  setUpdatesEnabled(false);
  struct TResume {
    TInternalGrid* Grid;
    ~TResume() { Grid->setUpdatesEnabled(true); }
  } resume{this};
  switch (id) {
    case kExpandNode:
      FModel.ExpandNode(label, axis, false);
      return;
    case kShowChildren:
      FModel.ExpandNode(label, axis, true);
      return;
    case kCollapseNode:
      FModel.CollapseNode(label, axis);
      return;
    case kHideFollowing:
      FModel.HideFollowingMembers(label, axis);
      return;
    case kHideOthers:
      FModel.HideOtherMembers(label, axis);
      return;
    case kShowAllMembers:
      if (TLabelNode* member = StandInOf(label); member && member->State) {
        member->State->ShowAllMembers();
        FModel.ApplyDimensionState(*member->State);
      }
      return;
    default:
      break;
  }
  TLabelNode* member = StandInOf(label);
  if (!member) return;
  if (id >= kMoveToGroup && id < kGroupFollowing)
    FModel.MoveMemberToGroup(*member, id - kMoveToGroup);
  else if (id >= kGroupFollowing && id < kTotalAppearance)
    FModel.GroupFollowingMembers(*member, axis, id - kGroupFollowing);
}

void TInternalGrid::ToggleFunction(const TSubLevelNode& node, int function) {
  TSummaryInfo& summary = *node.Summary;
  TFunctionInfo& f = summary.Function(function);
  const bool show = !f.Visible();
  f.SetVisible(show);
  // A summary keeps at least one function: hiding its last one is undone.
  if (!summary.Visible()) f.SetVisible(true);
  FModel.BeginUpdate();
  FModel.EndUpdate(TChangeKind::ckDataColumns);
}

void TInternalGrid::ToggleSubFunction(const TSubLevelNode& node, int subFunction) {
  TFunctionInfo& f = node.Summary->Function(node.FunctionIndex);
  TSubFunctionInfo& sub = f.SubFunction(subFunction);
  sub.Visible = !sub.Visible;
  if (!f.Visible()) sub.Visible = true;  // as above, for the function's last sub-function
  FModel.BeginUpdate();
  FModel.EndUpdate(TChangeKind::ckDataColumns);
}

// ---- Clicks on headers ----

void TInternalGrid::ClickSubFunctionHeader(QPoint pos) {
  const TSubLevelNode* node = FModel.FindSubLevelNode(FModel.SubLevelNodes(), pos.x(), pos.y());
  if (!node || node->Type != TSubLevelNodeType::ltSubFunction) return;
  const auto& columns = FModel.DataColumns();
  const auto it = std::find(columns.begin(), columns.end(), node);
  if (it == columns.end()) return;
  FModel.ToggleValueSort(static_cast<int>(it - columns.begin()));
}

}  // namespace qd
