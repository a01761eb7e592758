// The dimension-members dialog: the widgets over TDimValuesEditor. The member
// tree and the group tree side by side, members dragged between them, the
// display name, caption attribute, member order and a member search.
#pragma once

#include <QDialog>

#include "view/dim_values_editor.h"

class QComboBox;
class QLineEdit;
class QToolButton;

namespace qd {

class TGridInfo;
class TXPCheckTreeView;
struct TOkCancel;

class TDimValuesFRM : public QDialog {
 public:
  TDimValuesFRM(TGridInfo& model, TDimensionState& state, QWidget* parent = nullptr);

  TDimValuesEditor& Editor() { return FEditor; }
  TXPCheckTreeView& MemberView() const { return *FMemberView; }
  TXPCheckTreeView& GroupView() const { return *FGroupView; }
  QLineEdit& NameEdit() const { return *FName; }
  QLineEdit& SearchEdit() const { return *FSearch; }
  QComboBox& AttributeList() const { return *FAttributes; }
  QComboBox& OrderList() const { return *FOrders; }
  //! The check buttons of the member tree (0..2) and of the group tree (3..5),
  //! then "新组" and "删除项目".
  QToolButton* Button(int i) const { return FButtons.at(static_cast<std::size_t>(i)); }
  QPushButton& OkButton() const { return *FOk; }
  QPushButton& CancelButton() const { return *FCancel; }

 private:
  QWidget* MemberSide();
  QWidget* GroupSide();
  void AddCheckButtons(QWidget* bar, TCheckTree& tree);
  void Fill();
  void Accept();

  TDimValuesEditor FEditor;
  TXPCheckTreeView* FMemberView;
  TXPCheckTreeView* FGroupView;
  QLineEdit* FName;
  QLineEdit* FSearch;
  QComboBox* FAttributes;
  QComboBox* FOrders;
  std::vector<QToolButton*> FButtons;
  QPushButton* FOk;
  QPushButton* FCancel;
};

//! Opens the dialog for a dimension state at a screen point, modally; true
//! when it closed with OK.
bool RunDimValuesDialog(TGridInfo& model, TDimensionState& state, QPoint at,
                        QWidget* parent = nullptr);

}  // namespace qd
