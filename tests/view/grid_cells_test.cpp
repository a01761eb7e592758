// The data cells' interactions through real events: hovering (hot buttons,
// the colour hint, the attribute window), drill-through by double click,
// in-place editing, Ctrl+A and Ctrl+C, and labels scrolled partly out.
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <cstdlib>

#include "engine/data/memo_dataset.h"
#include "model/cell_evidence.h"
#include "model/cell_facts.h"
#include "view/attribute_window.h"
#include "view_test_grid.h"

namespace qd::test {
namespace {

QPoint Centre(const TGridRect& r) {
  return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

//! Processes events until `done` holds or a second has passed.
template <class F>
bool WaitFor(F&& done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < 1000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

//! The fact-table editor of the tests: remembers what it was shown and may
//! change the first record's value.
class TFakeEditor : public IFactTableEditor {
 public:
  bool Execute(TvtMemoDataSet& records) override {
    ++Shown;
    Values.clear();
    for (records.First(); !records.Eof(); records.Next())
      Values.push_back(records.Fields(0).AsFloat());
    ValueReadOnly = records.Fields(0).ReadOnly();
    if (NewValue) {
      records.First();
      records.Edit();
      records.Fields(0).SetValue(*NewValue);
      records.Post();
    }
    return Ok;
  }
  int Shown = 0;
  std::vector<double> Values;
  bool ValueReadOnly = false;
  std::optional<double> NewValue;
  bool Ok = true;
};

class GridCells : public ViewGrid {
 protected:
  void SetUp() override {
    ViewGrid::SetUp();
    Model().FactTableEditor = &editor;
    Grid().SetHoverDelay(10);
  }
  void TearDown() override { Model().FactTableEditor = nullptr; }
  QPoint DataCentre(int dataCol, int dataRow) {
    return Grid().CellRect(Grid().FixedCols() + dataCol, Grid().FixedRows() + dataRow).center();
  }
  void Send(QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
            Qt::KeyboardModifiers mods = Qt::NoModifier) {
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                         ? Qt::NoButton
                                         : Qt::MouseButtons(button);
    QMouseEvent e(type, pos, Grid().viewport()->mapToGlobal(pos),
                  type == QEvent::MouseMove ? Qt::NoButton : button, buttons, mods);
    QApplication::sendEvent(Grid().viewport(), &e);
  }
  void DoubleClick(QPoint pos) {
    Send(QEvent::MouseButtonPress, pos);
    Send(QEvent::MouseButtonRelease, pos);
    Send(QEvent::MouseButtonDblClick, pos);
    Send(QEvent::MouseButtonRelease, pos);
    Drain();
  }
  //! A key pressed in the grid.
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent e(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(&Grid(), &e);
  }
  TFakeEditor editor;
  TShownMessages shown;  // an error shows here instead of blocking in a box
};

TEST_F(GridCells, RestingOnADataCellColoursItsComparableCellsUntilTheMouseMovesOn) {
  Send(QEvent::MouseMove, DataCentre(0, 0));
  ASSERT_TRUE(WaitFor([&] { return Grid().ColorHintActive(); }));
  EXPECT_TRUE(Model().ColoredCells().Contains(0, 0));
  Send(QEvent::MouseMove, DataCentre(1, 0));
  EXPECT_FALSE(Grid().ColorHintActive()) << "another cell: the colours go";
  ASSERT_TRUE(WaitFor([&] { return Grid().ColorHintActive(); }));
  EXPECT_TRUE(Model().ColoredCells().Contains(1, 0));

  control->VisualSettings().SetShowColorHint(false);
  Send(QEvent::MouseMove, DataCentre(0, 1));
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 60) QApplication::processEvents();
  EXPECT_FALSE(Grid().ColorHintActive());
}

TEST_F(GridCells, RestingOnALabelShowsTheMembersAttributes) {
  // Region gets two attributes; the window shows one "name: value" line each.
  cube.Deactivate();
  TDimension& region = *cube.Dims()[kRegion];
  region.Attributes.Values(region.Attributes.Add("Default attribute")) = {"North", "南方", "West"};
  region.Attributes.Values(region.Attributes.Add("Manager")) = {"Ann", "李", "Bo"};
  cube.Activate();
  Drain();
  Grid().ComputeGeometry();
  const TLabelNode* north = RowLabel("North");
  ASSERT_TRUE(north);
  const QPoint at(north->Rect.Right - 4, (north->Rect.Top + north->Rect.Bottom) / 2);
  Send(QEvent::MouseMove, at);
  ASSERT_TRUE(WaitFor([&] {
    return Grid().AttributeWindow() && Grid().AttributeWindow()->isVisible();
  }));
  EXPECT_EQ(Grid().AttributeWindow()->Text(), "Default attribute: North\nManager: Ann");
  Send(QEvent::MouseMove, DataCentre(0, 0));
  EXPECT_FALSE(Grid().AttributeWindow()->isVisible());
  EXPECT_EQ(AttributeLines({"a", "b"}, {"1"}), (std::vector<std::string>{"a: 1"}));
}

TEST_F(GridCells, AValueOnTooFewFactsIsMarkedAndTheMouseOverItSaysHowFew) {
  Model().SummarySettings().Items(0).Function(static_cast<int>(TFunction::stVariance))
      .SubFunction(sfValue).Visible = true;
  Model().Aggregation().DropActive();
  Model().BeginUpdate();
  Model().EndUpdate(ckAxes);
  Drain();
  Grid().ComputeGeometry();
  std::optional<QPoint> low, plain;
  std::int64_t n = 0;
  for (int r = 0; r < Model().RowLineCount(); ++r)
    for (int c = 0; c < static_cast<int>(Model().DataColumns().size()); ++c) {
      if (const auto count = CellLowCount(Model(), r, c); count && !low) {
        low = QPoint(c, r);
        n = *count;
      } else if (!count && !plain && Model().GetCellValue(r, c).HasValue) {
        plain = QPoint(c, r);
      }
    }
  ASSERT_TRUE(low && plain);
  Send(QEvent::MouseMove, DataCentre(low->x(), low->y()));
  EXPECT_EQ(Grid().viewport()->toolTip().toStdString(),
            "仅基于 " + std::to_string(n) + " 条记录");
  Send(QEvent::MouseMove, DataCentre(plain->x(), plain->y()));
  EXPECT_TRUE(Grid().viewport()->toolTip().isEmpty());

  const QImage shot = Grid().viewport()->grab().toImage();
  if (const char* dir = std::getenv("QD_SCREENSHOT_DIR"))
    shot.save(QDir(dir).filePath("low_count_mark.png"));
  const QRect lowCell =
      Grid().CellRect(Grid().FixedCols() + low->x(), Grid().FixedRows() + low->y());
  const QRect plainCell =
      Grid().CellRect(Grid().FixedCols() + plain->x(), Grid().FixedRows() + plain->y());
  EXPECT_EQ(shot.pixelColor(lowCell.topLeft() + QPoint(2, 2)), kLowCountMarkColor);
  EXPECT_NE(shot.pixelColor(plainCell.topLeft() + QPoint(2, 2)), kLowCountMarkColor);
}

TEST_F(GridCells, DoubleClickListsTheCellsFactRecordsReadOnlyUnlessEditable) {
  DoubleClick(DataCentre(0, 0));  // North, 2024, Amount
  ASSERT_EQ(editor.Shown, 1);
  EXPECT_EQ(editor.Values, (std::vector<double>{10}));
  EXPECT_TRUE(editor.ValueReadOnly);

  // The grand total of a column holds every record of that year.
  DoubleClick(DataCentre(0, Model().RowLineCount() - 1));
  EXPECT_EQ(editor.Values, (std::vector<double>{10, 5}));

  // Editable: the value may change, and an accepted change reaches the cube.
  control->Editable = true;
  int asked = 0;
  control->OnEditFactTable = [&](TCustomVantraGrid& sender, TDataSet& modified, bool& accept) {
    EXPECT_EQ(&sender, control.get());
    EXPECT_EQ(modified.RecordCount(), 1);
    ++asked;
    accept = true;
  };
  editor.NewValue = 12.5;
  DoubleClick(DataCentre(0, 0));
  EXPECT_FALSE(editor.ValueReadOnly);
  EXPECT_EQ(asked, 1);
  EXPECT_DOUBLE_EQ(Model().GetCellValue(0, 0).Value, 12.5);
  EXPECT_DOUBLE_EQ(cube.Facts()->Value(0, 0), 12.5);

  // Cancelled: nothing is asked or written.
  editor.Ok = false;
  editor.NewValue = 99;
  DoubleClick(DataCentre(0, 0));
  EXPECT_EQ(asked, 1);
  EXPECT_DOUBLE_EQ(cube.Facts()->Value(0, 0), 12.5);

  // Headers have no records to show.
  const int shown = editor.Shown;
  Grid().ComputeGeometry();
  DoubleClick(Centre(RowLabel("North")->Rect));
  EXPECT_EQ(editor.Shown, shown);
}

TEST_F(GridCells, InPlaceEditingHandsTheTextAndTheRecordsToOnSetEditText) {
  TVantraGridOptions options = control->Options();
  options.Set(TVantraGridOption::hgEditing, true);
  control->SetOptions(options);
  std::string seen;
  control->OnSetEditText = [&](TInternalGrid& sender, int col, int row, TDataSet& records,
                               TSummaryInfo& info, const std::string& value, bool& recalculate) {
    EXPECT_EQ(&sender, &Grid());
    EXPECT_EQ(info.FieldName, "Amount");
    seen = std::to_string(col) + "," + std::to_string(row) + ":" + value;
    records.First();
    records.Edit();
    records.Fields(0).SetValue(std::stod(value));
    records.Post();
    recalculate = true;
  };
  Grid().setFocus();
  Grid().SetCurrent(Grid().FixedCols(), Grid().FixedRows());
  Key(Qt::Key_F2);
  ASSERT_TRUE(Grid().EditorMode());
  Grid().Editor()->setPlainText("42");
  Key(Qt::Key_Down);  // the current cell moves and the editor commits
  Drain();
  EXPECT_EQ(seen, "0,0:42");
  EXPECT_DOUBLE_EQ(Model().GetCellValue(0, 0).Value, 42);
  EXPECT_TRUE(shown.Messages.empty());
  EXPECT_TRUE(Grid().EditorMode()) << "the editor follows the current cell";
}

TEST_F(GridCells, CtrlCCopiesTheSelectionOrTheWholeGridAsTextAndHtml) {
  Grid().setFocus();
  // Nothing chosen yet: the whole grid with its headers.
  Key(Qt::Key_C, Qt::ControlModifier);
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  ASSERT_TRUE(mime);
  const std::string text = mime->text().toStdString();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), Grid().RowCount());
  EXPECT_NE(text.find("North\t10.00\t"), std::string::npos) << text;
  const std::string html = mime->html().toStdString();
  EXPECT_NE(html.find("<th colspan=\"2\">2024</th>"), std::string::npos) << html;
  EXPECT_NE(html.find("<td align=\"right\">10.00</td>"), std::string::npos);

  // A range chosen with the mouse: those cells only.
  Send(QEvent::MouseButtonPress, DataCentre(0, 0));
  Send(QEvent::MouseButtonRelease, DataCentre(0, 0));
  Send(QEvent::MouseButtonPress, DataCentre(1, 1), Qt::LeftButton, Qt::ShiftModifier);
  Send(QEvent::MouseButtonRelease, DataCentre(1, 1), Qt::LeftButton, Qt::ShiftModifier);
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->mimeData()->text().toStdString(),
            Grid().CellText(0, 0) + "\t" + Grid().CellText(1, 0) + "\n" + Grid().CellText(0, 1) +
                "\t" + Grid().CellText(1, 1) + "\n");

  // Ctrl+A selects every data cell, which copies the whole grid again.
  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Grid().Selection(), QRect(QPoint(Grid().FixedCols(), Grid().FixedRows()),
                                      QPoint(Grid().ColCount() - 1, Grid().RowCount() - 1)));
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->mimeData()->text().toStdString(), text);
}

TEST_F(GridCells, ALabelScrolledPartlyOutKeepsItsButtonAndTextInView) {
  Model().ExpandAll(Model().DimensionState(kRegion));
  Drain();
  const TLabelNode* north = RowLabel("North");
  ASSERT_TRUE(north && north->Children.size() >= 2);
  Grid().SetTopRow(Grid().FixedRows() + 1);  // North's first row scrolled out
  Grid().ComputeGeometry();
  north = RowLabel("North");
  EXPECT_LT(north->Rect.Top, Grid().FixedHeight()) << "the merged cell starts above the band";
  ASSERT_TRUE(north->NextDimButton);
  EXPECT_EQ(north->NextDimButton->Rect.Top, Grid().FixedHeight() + 2);
  // The caption is painted below the button row's top, inside the band.
  const QImage img = Grid().viewport()->grab().toImage();
  const QColor background = img.pixel(north->Rect.Right - 2, Grid().FixedHeight() + 2);
  int ink = 0;
  for (int x = north->NextDimButton->Rect.Right + 4; x < north->Rect.Right - 2; ++x)
    for (int y = Grid().FixedHeight() + 2; y < Grid().FixedHeight() + 18; ++y)
      if (QColor(img.pixel(x, y)) != background) ++ink;
  EXPECT_GT(ink, 5) << "North's caption is drawn";
  // The button still works where it is drawn.
  Send(QEvent::MouseButtonPress, Centre(north->NextDimButton->Rect));
  Send(QEvent::MouseButtonRelease, Centre(north->NextDimButton->Rect));
  Drain();
  EXPECT_FALSE(RowLabel("North")->IsExpanded());
}

}  // namespace
}  // namespace qd::test
