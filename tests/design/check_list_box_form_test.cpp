// The check-list drop-down: ticks from the selection text, the result after
// OK in list order, nothing after Cancel.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>

#include "design/check_list_box_form.h"
#include "qt_test_app.h"

namespace qd::test {
namespace {

std::vector<bool> Ticks(const TCheckListBoxForm& form) {
  std::vector<bool> out;
  for (int i = 0; i < form.CheckList().count(); ++i)
    out.push_back(form.CheckList().item(i)->checkState() == Qt::Checked);
  return out;
}

TEST(CheckListBoxForm, TicksTheSelectionAndReturnsTheTickedNamesInListOrder) {
  TestApp();
  TCheckListBoxForm form(nullptr, "c ;a; x;", {"a", "b", "c"});
  EXPECT_EQ(Ticks(form), (std::vector<bool>{true, false, true})) << "x names no item";
  EXPECT_EQ(form.size(), QSize(174, 132));
  form.CheckList().item(1)->setCheckState(Qt::Checked);
  form.OkButton().click();
  EXPECT_EQ(form.ResultText(), "a; b; c");

  TCheckListBoxForm none(nullptr, "", {"a", "A"});
  none.OkButton().click();
  EXPECT_EQ(none.ResultText(), "");
  TCheckListBoxForm caseSensitive(nullptr, "A", {"a", "A"});
  EXPECT_EQ(Ticks(caseSensitive), (std::vector<bool>{false, true}));
  caseSensitive.reject();
  EXPECT_EQ(caseSensitive.ResultText(), "") << "closed without OK";
}

}  // namespace
}  // namespace qd::test
