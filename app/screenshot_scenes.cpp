#include "app/screenshot_scenes.h"

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QTreeWidget>

#include "app/cube_design_form.h"
#include "app/design_commands.h"
#include "design/dimension_map_form.h"
#include "engine/core/messages.h"
#include "model/grid_info.h"
#include "view/aggregates_editor.h"
#include "view/formula_editor.h"
#include "view/formula_form.h"
#include "view/message_guard.h"
#include "view/vantra_grid.h"

namespace qd {

QImage Compose(QWidget& form, std::initializer_list<QWidget*> above) {
  QImage shot = form.grab().toImage();
  QPainter p(&shot);
  const QPoint origin = form.mapToGlobal(QPoint(0, 0));
  for (QWidget* w : above)
    if (w && w->isVisible()) p.drawPixmap(w->mapToGlobal(QPoint(0, 0)) - origin, w->grab());
  return shot;
}

QImage ModalScene(QWidget& form, const std::function<void()>& open) {
  QImage shot;
  QTimer::singleShot(200, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      shot = Compose(form, {dialog});
      dialog->close();
    }
  });
  Guard(open);
  return shot;
}

QImage MapEditorScene(TCubeDesignForm& form, const std::string& definition) {
  QTreeWidgetItem* node = form.FindNode({Msg(TMsg::SCatalogRealTime), definition});
  if (!node) return {};
  form.MainTreeView().setCurrentItem(node);
  QApplication::processEvents();
  form.Grid().ProcessModelNotifications();
  QImage shot;
  TDesignCommands& design = form.DesignCommands();
  auto exec = design.ExecEditor;
  design.ExecEditor = [&](TDimensionMapForm& editor) {
    editor.show();
    TMapNode& rows = editor.Editor().Root(TMapRoot::mrRows);
    if (rows.Count() > 0) {
      QTreeWidgetItem* item = editor.ItemOf(&rows.Child(0));
      editor.Tree().setCurrentItem(item);
      editor.Tree().expandItem(item);
    }
    QApplication::processEvents();
    shot = Compose(form, {&editor});
    return false;
  };
  Guard([&] { design.CubeDefMenuClick(); });
  design.ExecEditor = exec;
  return shot;
}

QImage FormulaScene(TCubeDesignForm& form, const std::string& name, const std::string& formula) {
  TGridInfo& model = form.Grid().Model();
  if (!model.IsActive()) return {};
  TAggregatesEditor summaries(model);
  summaries.FillTree();
  if (!summaries.AddCalculated(name)) return {};
  TSummaryInfo& added = *summaries.CurrentSummary();
  TFormulaEditor parse(summaries.Settings(), added);
  parse.Text = formula;
  if (!parse.Accept()) return {};
  summaries.FormulaEdited(formula, parse.Parser);
  Guard([&] { summaries.Ok(); });
  form.Grid().ProcessModelNotifications();
  const TSummarySettings& settings = model.SummarySettings();
  const TSummaryInfo* item = nullptr;
  for (int i = 0; i < settings.Count(); ++i)
    if (settings.Items(i).IsCalculated() && settings.Items(i).DisplayName == name)
      item = &settings.Items(i);
  if (!item) return {};
  return ModalScene(form, [&] {
    std::string text;
    EditFormula(settings, *item, text, &form);
  });
}

}  // namespace qd
