#include "app/screenshot_scenes.h"

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <unistd.h>

#include "app/compare_commands.h"
#include "app/cube_design_form.h"
#include "app/design_commands.h"
#include "design/dimension_map_form.h"
#include "engine/core/messages.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/vantra.h"
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

QImage CompareScene(TCubeDesignForm& form) {
  TCustomVantra* shown = form.Grid().Vantra();
  if (!shown || !shown->Active()) return {};
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::temp_directory_path() / ("quarrydesk-compare-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string now = (folder / "now.vtc").string();
  const std::string earlier = (folder / "上月.vtc").string();
  Guard([&] {
    SaveCubeToFile(*shown, now);
    TVantra before;
    LoadCubeFromFile(before, now);
    TFactTable& facts = *before.FactTable();
    // A few records, so that most cells stay as they are.
    const std::int32_t step = facts.RecordCount() / 3 + 1;
    for (std::int32_t r = 0; r < facts.RecordCount(); r += step)
      for (int s = 0; s < static_cast<int>(before.Summaries().size()); ++s)
        facts.SetValue(r, s, facts.Value(r, s) * (r / step % 2 ? 1.1 : 0.9));
    SaveCubeToFile(before, earlier);
    form.CompareCommands().CompareWith(earlier);
  });
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  if (!form.CompareCommands().Comparison()) return {};
  QApplication::processEvents();
  return form.grab().toImage();
}

}  // namespace qd
