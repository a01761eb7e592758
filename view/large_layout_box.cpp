#include "view/large_layout_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {

std::string ByteSizeText(std::int64_t bytes) {
  constexpr double kKB = 1024.0, kMB = kKB * 1024.0, kGB = kMB * 1024.0;
  const double b = static_cast<double>(bytes);
  if (b >= kGB) return FormatThousands(b / kGB, 1) + " GB";
  if (b >= kMB) return FormatThousands(b / kMB, 0) + " MB";
  // A small layout reads as kilobytes, never as "0 MB".
  return FormatThousands(std::max(1.0, b / kKB), 0) + " KB";
}

namespace {

std::string CellCountText(std::int64_t cells) {
  return FormatThousands(static_cast<double>(cells), 0);
}

}  // namespace

std::string LargeLayoutText(const TLayoutEstimate& e, const TLayoutLimits& limits) {
  return Format(Msg(TMsg::SLargeLayoutQuestion), CellCountText(e.Cells),
                ByteSizeText(e.Bytes), CellCountText(limits.Cells), ByteSizeText(limits.Bytes));
}

TLargeLayoutChoice AskLargeLayoutBox(QWidget* parent, const TLayoutEstimate& e,
                                     const std::string& largest, const TLayoutLimits& limits) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(Msg(TMsg::SLargeLayoutCaption)),
                  QString::fromStdString(LargeLayoutText(e, limits)), QMessageBox::NoButton,
                  parent);
  QPushButton* page = nullptr;
  if (!largest.empty())
    page = box.addButton(QString::fromStdString(Format(Msg(TMsg::SLargeLayoutPage), largest)),
                         QMessageBox::AcceptRole);
  QPushButton* goOn =
      box.addButton(QString::fromStdString(Msg(TMsg::SLargeLayoutGoOn)), QMessageBox::YesRole);
  QPushButton* cancel =
      box.addButton(QString::fromStdString(Msg(TMsg::SLargeLayoutCancel)), QMessageBox::RejectRole);
  box.setDefaultButton(page ? page : cancel);
  box.setEscapeButton(cancel);
  box.exec();
  if (page && box.clickedButton() == page) return TLargeLayoutChoice::lcPageLargest;
  if (box.clickedButton() == goOn) return TLargeLayoutChoice::lcGoOn;
  return TLargeLayoutChoice::lcCancel;
}

}  // namespace qd
