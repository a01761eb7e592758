#include "app/support_dump.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "app/cube_design_form.h"
#include "engine/io/safe_file.h"
#include "export/grid_export_structure.h"
#include "view/internal_grid.h"
#include "view/message_guard.h"
#include "view/pivot_panels.h"
#include "view/quick_menu.h"
#include "view/vantra_grid.h"

namespace qd {

namespace {

// "x y w h" of a widget-relative rectangle, in screen coordinates.
std::string Place(const QWidget& w, const QRect& r) {
  const QPoint p = w.mapToGlobal(r.topLeft());
  std::ostringstream out;
  out << p.x() << ' ' << p.y() << ' ' << r.width() << ' ' << r.height();
  return out.str();
}

const char* AreaName(TDimGroup g) {
  switch (g) {
    case TDimGroup::dgRow:
      return "rows";
    case TDimGroup::dgCol:
      return "columns";
    default:
      return "pages";
  }
}

std::string DimName(TGridInfo& model, int dim) {
  const TDimensionState& s = model.DimensionState(dim);
  return s.DisplayName.empty() ? model.GetDimName(dim) : s.DisplayName;
}

void DumpCatalog(QTreeWidget& tree, std::ostream& out) {
  std::function<void(QTreeWidgetItem*, const std::string&)> walk = [&](QTreeWidgetItem* item,
                                                                      const std::string& root) {
    if (item->childCount() == 0 && item->parent()) {
      const QRect r = tree.visualItemRect(item);
      if (r.isValid())
        out << "catalog: " << root << '\t' << item->text(0).toStdString() << '\t'
            << Place(*tree.viewport(), r) << '\n';
    }
    for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), root);
  };
  for (int i = 0; i < tree.topLevelItemCount(); ++i)
    walk(tree.topLevelItem(i), tree.topLevelItem(i)->text(0).toStdString());
}

void DumpAxes(TVantraGrid& grid, std::ostream& out) {
  TGridInfo& model = grid.Model();
  for (TDimGroup g : {TDimGroup::dgRow, TDimGroup::dgCol, TDimGroup::dgPage}) {
    const TPivotPanel& area = grid.Area(g);
    out << "area: " << AreaName(g) << '\t' << Place(area, area.rect()) << '\n';
    for (const TDimPivotPanel* p : area.Panels())
      out << "panel: " << AreaName(g) << '\t' << p->DisplayName() << '\t' << Place(*p, p->rect())
          << '\n';
  }
  if (!model.IsActive()) return;
  for (TDimGroup g : {TDimGroup::dgRow, TDimGroup::dgCol, TDimGroup::dgPage}) {
    out << AreaName(g) << ':';
    const char* sep = " ";
    for (int d : model.AxisDims(g)) {
      out << sep << DimName(model, d);
      sep = "; ";
    }
    out << '\n';
  }
  for (int d = 0; d < model.DimensionStateCount(); ++d) {
    const TDimensionState& s = model.DimensionState(d);
    if (!s.FilterActive) continue;
    out << "hidden: " << DimName(model, d) << '\t';
    const char* sep = "";
    for (int n = 0; n < s.NodeCount(); ++n)
      if (!s.IsNodeVisible(n)) {
        out << sep << s.Node(n).Caption;
        sep = "; ";
      }
    out << '\n';
  }
}

void DumpLabels(TInternalGrid& cells, TGridInfo& model, std::ostream& out) {
  if (!cells.LayoutValid()) return;
  cells.ComputeGeometry();
  for (int axis = 0; axis < 2; ++axis)
    for (const auto& n : model.Tree(axis)) {
      const TGridRect& r = n->Rect;
      if (r.Right < r.Left) continue;
      out << "label: " << (axis == 0 ? "rows" : "columns") << '\t' << model.GetNodeCaption(*n)
          << '\t'
          << Place(*cells.viewport(), QRect(QPoint(r.Left, r.Top), QPoint(r.Right, r.Bottom)))
          << '\n';
    }
}

void DumpMenu(const TQuickMenu& menu, std::ostream& out) {
  out << "menu:";
  const char* sep = " ";
  for (QAction* a : menu.actions()) {
    out << sep << (a->isSeparator() ? std::string("-") : a->text().toStdString());
    sep = " | ";
  }
  out << '\n';
  if (!menu.isVisible()) return;
  for (QAction* a : menu.actions())
    if (!a->isSeparator())
      out << "menu-item: " << a->text().toStdString() << '\t'
          << Place(menu, menu.actionGeometry(a)) << '\n';
}

}  // namespace

std::string SupportDumpText(TCubeDesignForm& form) {
  std::ostringstream out;
  out << "window: " << Place(form, form.rect()) << '\n';
  DumpCatalog(form.MainTreeView(), out);
  TVantraGrid& grid = form.Grid();
  DumpAxes(grid, out);
  DumpLabels(grid.InternalGrid(), grid.Model(), out);
  DumpMenu(grid.InternalGrid().QuickMenu(), out);
  out << "grid:\n";
  if (grid.Model().IsActive())
    if (auto snapshot = BuildGridExportStructure(grid.Model()))
      out << ExportGridText(grid.Model(), *snapshot);
  return out.str();
}

std::string WriteSupportDump(TCubeDesignForm& form) {
  const char* env = std::getenv("QD_GRID_DUMP");
  const std::string path = env && *env ? std::string(env)
                                       : (QDir::tempPath() + "/quarrydesk-grid-dump.txt")
                                             .toStdString();
  // Whole or not at all, so that a reader never sees half a dump.
  WriteFileAtomic(path, SupportDumpText(form));
  return path;
}

void InstallSupportDump(TCubeDesignForm& form) {
  auto* dump = new QAction(&form);
  dump->setShortcut(QKeySequence("Ctrl+Alt+D"));
  dump->setShortcutContext(Qt::ApplicationShortcut);
  form.addAction(dump);
  QObject::connect(dump, &QAction::triggered, &form, [&form] {
    Guard([&form] { form.StatusPanel(0).setText(QString::fromStdString(WriteSupportDump(form))); });
  });
  if (!std::getenv("QD_GRID_DUMP")) return;
  TQuickMenu& menu = form.Grid().InternalGrid().QuickMenu();
  QObject::connect(&menu, &QMenu::aboutToShow, &form, [&form] {
    // Once the menu stands where it is shown.
    QTimer::singleShot(100, &form, [&form] { Guard([&form] { WriteSupportDump(form); }); });
  });
}

}  // namespace qd
