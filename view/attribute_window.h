// The hover window of a member label: one "name: value" line per attribute of
// the member, in a borderless box in the tooltip colour.
#pragma once

#include <QFrame>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace qd {

//! The lines of the window: "%s: %s" for each name and value pair.
std::vector<std::string> AttributeLines(const std::vector<std::string>& names,
                                        const std::vector<std::string>& values);

class TAttributeWindow : public QFrame {
 public:
  explicit TAttributeWindow(QWidget* parent);
  //! Fills the window and shows it with its top-left corner at `globalPos`,
  //! as wide as the widest line plus 30 and as high as the lines plus 10.
  void ShowLines(const std::vector<std::string>& lines, QPoint globalPos);
  std::string Text() const;

 private:
  QPlainTextEdit* FText;
};

}  // namespace qd
