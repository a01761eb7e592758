// A read-only table held in memory, column by column: the dataset behind tests,
// benchmarks and files read whole (CSV). Text columns keep each distinct value
// once and a 32-bit code per row.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/data/dataset.h"

namespace qd {

class TMemoryTable : public TDataSet {
 public:
  TMemoryTable() = default;
  explicit TMemoryTable(std::string name) { Name = std::move(name); }

  //! Declares a column; columns are fixed once a row exists. Returns its index.
  int AddColumn(const std::string& name, TFieldType type, const std::string& displayLabel = {});
  int ColumnCount() const { return static_cast<int>(FColumns.size()); }

  //! Appends a row; missing trailing values are null. Values are converted to
  //! the column's type (text "12" into an integer column gives 12).
  void AppendRow(const std::vector<TVariant>& values);
  //! Per-column appends for bulk loading: every column must receive one value
  //! per row, in column order, then EndRow().
  void PushText(int col, std::string_view text);
  void PushInt(int col, std::int64_t v);
  void PushFloat(int col, double v);
  void PushNull(int col);
  void EndRow() { ++FRows; }
  void Reserve(std::int64_t rows);
  //! Drops every row (the columns stay).
  void ClearRows();

  std::int64_t RecordCount() const override { return FRows; }

 protected:
  void DoOpen() override;
  void DoClose() override {}
  bool DoFirst() override { return (FPos = 0) < FRows; }
  bool DoNext() override { return ++FPos < FRows; }
  bool DataIsNull(int field) const override;
  TVariant DataValue(int field) const override;
  std::string DataText(int field) const override;
  std::int64_t DataInt(int field) const override;
  double DataFloat(int field) const override;
  bool DataTextView(int field, std::string_view& out) const override;
  bool DataTextCode(int field, std::int32_t& code) const override;

 private:
  enum class TKind : std::uint8_t { Text, Int, Float };
  struct TColumn {
    std::string Name, Label;
    TFieldType Type;
    TKind Kind;
    std::vector<std::int32_t> Codes;  // text: index into Dict
    std::vector<std::string> Dict;
    std::unordered_map<std::string, std::int32_t> DictIndex;
    std::vector<std::int64_t> Ints;
    std::vector<double> Floats;
    std::vector<std::uint8_t> Nulls;  // empty until the first null
  };
  void MarkNull(TColumn& c, bool isNull);
  std::size_t Rows(const TColumn& c) const;
  const TColumn& Col(int field) const { return FColumns[static_cast<std::size_t>(field)]; }
  std::size_t Pos() const { return static_cast<std::size_t>(FPos); }

  std::vector<TColumn> FColumns;
  std::int64_t FRows = 0;
  std::int64_t FPos = 0;
};

}  // namespace qd
