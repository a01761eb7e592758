// The values of a grid's data cells: per visible summary and function a matrix
// of aggregates over the row and column lines, and per visible sub-function
// (ranks, percentages, compares with the previous member, running sums) a
// matrix derived from it. Everything is computed once per relayout; painting,
// charts and exports only look values up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qd {

struct TLabelNode;

//! A cell value: a cell without a value differs from a cell holding 0.
struct TCellValue {
  double Value = 0;
  bool HasValue = false;
};

//! Sub-function indexes of TFunctionInfo.
enum TSubFunctionIndex : int {
  sfValue = 0,
  sfRankByRow = 1,
  sfRankByCol = 2,
  sfPercentByRow = 3,
  sfPercentByCol = 4,
  sfCompareWithPrevByRow = 5,
  sfCompareWithPrevByCol = 6,
  sfCumulativeSumByRow = 7,
  sfCumulativeSumByCol = 8,
};

//! True for the sub-functions that compare a cell with the other column lines
//! of its row (ranks, percentages, compares and running sums "by row").
inline bool IsByRowSubFunction(int subFunction) {
  return subFunction == sfRankByRow || subFunction == sfPercentByRow ||
         subFunction == sfCompareWithPrevByRow || subFunction == sfCumulativeSumByRow;
}

//! A matrix of cell values, column lines × row lines (each at least 1), held
//! row by row; created without values.
class TFuncData {
 public:
  TFuncData(int columns, int rows);

  int Columns() const { return FColumns; }
  int Rows() const { return FRows; }
  TCellValue& At(int column, int row) {
    return FCells[static_cast<std::size_t>(column) +
                  static_cast<std::size_t>(row) * static_cast<std::size_t>(FColumns)];
  }
  const TCellValue& At(int column, int row) const {
    return FCells[static_cast<std::size_t>(column) +
                  static_cast<std::size_t>(row) * static_cast<std::size_t>(FColumns)];
  }
  //! No value outside the matrix.
  TCellValue Get(int column, int row) const;

 private:
  int FColumns, FRows;
  std::vector<TCellValue> FCells;
};

//! One visible sub-function of a function; sub-function 0 has no matrix of its
//! own (it is the function's).
struct TGridSubFunction {
  int SubFunction = 0;
  std::unique_ptr<TFuncData> Data;
};

class TGridSubFunctionArray {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  TGridSubFunction& Items(int i) { return FItems.at(static_cast<std::size_t>(i)); }
  TGridSubFunction& Add(int subFunction, std::unique_ptr<TFuncData> data);
  //! nullptr when the sub-function was not computed.
  const TGridSubFunction* Find(int subFunction) const;

 private:
  std::vector<TGridSubFunction> FItems;
};

//! One computed function of a summary: its base matrix and its sub-functions.
struct TGridFunction {
  int Function = 0;
  std::unique_ptr<TFuncData> Data;
  TGridSubFunctionArray SubFunctions;
};

class TGridFunctionArray {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  TGridFunction& Items(int i) { return *FItems.at(static_cast<std::size_t>(i)); }
  TGridFunction& Add(int function, std::unique_ptr<TFuncData> data);
  const TGridFunction* Find(int function) const;

 private:
  std::vector<std::unique_ptr<TGridFunction>> FItems;
};

//! One visible summary (its position in the summary settings) with its functions.
struct TGridSummary {
  int Summary = 0;
  TGridFunctionArray Functions;
};

//! The values of the whole layout, rebuilt on every relayout.
class TGridSummaryArray {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  TGridSummary& Items(int i) { return *FItems.at(static_cast<std::size_t>(i)); }
  TGridSummary& Add(int summary);
  void Clear() { FItems.clear(); }
  const TGridSummary* Find(int summary) const;
  //! The matrix of a summary, function and sub-function (the function's own for
  //! sub-function 0); nullptr when it was not computed.
  const TFuncData* Matrix(int summary, int function, int subFunction) const;

 private:
  std::vector<std::unique_ptr<TGridSummary>> FItems;
};

//! A data cell of the grid in data coordinates.
struct TColoredCell {
  std::int32_t Column = 0;
  std::int32_t Row = 0;
};

//! The cells comparable with one cell (for the colour hint) and the range of
//! their values; empty when there is no set.
struct TColoredCells {
  std::vector<TColoredCell> Cells;
  double Minimum = 0;
  double Maximum = 0;

  bool Empty() const { return Cells.empty(); }
  bool Contains(int column, int row) const;
};

//! The sibling group of every line of an axis: lines with the same number
//! compete in ranks, compares and running sums; -1 for a line without
//! siblings (a grand-total line). A Total line competes as the member it
//! totals. An axis without lines (nullptr entries) is one group of its own.
std::vector<int> SiblingGroups(const std::vector<TLabelNode*>& lines);

//! The totals a percentage relates to: per row line the value at the row
//! line alone, per column line the value at the column line alone.
struct TPercentTotals {
  std::vector<TCellValue> Rows;
  std::vector<TCellValue> Columns;
};

//! Derives the matrix of sub-function 1..8 from the base matrix `v`.
//! `columnGroups` and `rowGroups` are the sibling groups of the lines.
std::unique_ptr<TFuncData> ComputeSubFunction(int subFunction, const TFuncData& v,
                                              const std::vector<int>& columnGroups,
                                              const std::vector<int>& rowGroups,
                                              const TPercentTotals& totals);

//! What a data column shows: positions and display names.
struct TDataColumnInfo {
  int Summary = -1;  //!< position in the summary settings
  int Function = 0;  //!< TFunction ordinal
  int SubFunction = 0;
  std::string SummaryName;      //!< the summary's display name
  std::string FunctionName;     //!< the function catalogue's display name ("Sum", ...)
  std::string SubFunctionName;  //!< "Agg. value", "Row rank", ...
  std::string FormatString;     //!< the sub-function's format mask
};

}  // namespace qd
