// Pieces the pivot grid's dialogs share: the flat button with its two
// bevels, the dark header strips over each area, the small tool bars of check
// buttons and the OK / Cancel row (Enter and Esc act on it).
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <string>

#include "engine/core/messages.h"

class QDialog;
class QHBoxLayout;

namespace qd {

//! A flat button: while the mouse is not over it (or it is disabled) two
//! nested one-pixel frames, the outer light at the top and left, the inner
//! the other way round.
class TVTButton : public QPushButton {
 public:
  explicit TVTButton(const QString& text, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

//! A header strip: the text on the shadow colour.
QLabel* HeaderStrip(const std::string& text, QWidget* parent);

//! A flat tool button with a glyph and a hint, reachable with Tab.
QToolButton* ToolButton(QWidget* parent, const QIcon& icon, TMsg hint);

//! The glyphs of the check tool bars and the dialogs' buttons, drawn here.
enum class TDialogGlyph {
  dgCheckAll,
  dgCheckNone,
  dgCheckInvert,
  dgNewGroup,
  dgDelete,
  dgAdd,
  dgSave,
  dgCalculator,
  dgAxisRows,
  dgAxisColumns,
  dgAxisPages,
  dgGroupClosed,
  dgGroupOpen
};
QIcon DialogGlyph(TDialogGlyph glyph);

//! "确定(&O)" (the default button, Enter) and "取消(&C)" (Esc) at the right of a
//! row, wired to accept and reject of the dialog.
struct TOkCancel {
  TVTButton* Ok;
  TVTButton* Cancel;
  QHBoxLayout* Row;
};
TOkCancel OkCancelRow(QDialog& dialog);

inline QString QText(const std::string& s) {
  return QString::fromStdString(s);
}
inline QString QMsg(TMsg id) {
  return QString::fromStdString(Msg(id));
}

}  // namespace qd
