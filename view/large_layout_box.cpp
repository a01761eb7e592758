#include "view/large_layout_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {

std::string ByteSizeText(std::int64_t bytes) {
  constexpr double kMB = 1024.0 * 1024.0, kGB = kMB * 1024.0;
  char buf[48];
  if (bytes >= kGB)
    std::snprintf(buf, sizeof buf, "%.1f GB", static_cast<double>(bytes) / kGB);
  else
    std::snprintf(buf, sizeof buf, "%.0f MB", static_cast<double>(bytes) / kMB);
  return buf;
}

std::string LargeLayoutText(const TLayoutEstimate& e, const TLayoutLimits& limits) {
  return Format(Msg(TMsg::SLargeLayoutQuestion), std::to_string(e.Cells), ByteSizeText(e.Bytes),
                std::to_string(limits.Cells), ByteSizeText(limits.Bytes));
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
