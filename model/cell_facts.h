// The fact records behind a data cell: which records make it, the dataset the
// cell details show, and the editing of their values.
#pragma once

namespace qd {

class TvtMemoDataSet;

//! The fact-table editor window as the model uses it.
class IFactTableEditor {
 public:
  virtual ~IFactTableEditor() = default;
  //! Shows the records modally; true when the window was closed with OK.
  virtual bool Execute(TvtMemoDataSet& records) = 0;
};

}  // namespace qd
