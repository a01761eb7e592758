// Weighted fact records. A cube built from rows the database already grouped
// holds one record per combination of dimension values; the record's summary
// values are the group sums, and beside them each record carries the number of
// facts it stands for and, per summary, the sums of the squares, cubes and
// fourth powers of their values, their minimum and their maximum. The moments
// of any cell follow from these (engine/aggregate/power_sums.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

//! How a cube's fact records were read; stored in cube files.
enum class TBuildMode : std::uint8_t {
  bmEveryRow = 0,              //!< one record per row of the fact query
  bmAggregatedInDatabase = 1,  //!< one weighted record per group the database formed
};

//! The columns of a grouped fact query for one summary field: the field's
//! name with "#1" … "#4" (sums of its first to fourth powers), "#min" and
//! "#max" (ClickHouse takes an alias equal to a column's name for that column
//! everywhere in the query, sums included).
struct TAggregateColumnNames {
  std::string Sum, Sum2, Sum3, Sum4, Min, Max;
};
inline TAggregateColumnNames AggregateColumnNames(std::string_view summaryField) {
  const std::string f(summaryField);
  return {f + "#1", f + "#2", f + "#3", f + "#4", f + "#min", f + "#max"};
}
//! The column of the facts each group stands for.
inline constexpr std::string_view kAggregateCountColumn = "#count";

class TFactWeights {
 public:
  //! Doubles per summary after a record's count: Σx², Σx³, Σx⁴, minimum, maximum.
  static constexpr int kPerSummary = 5;
  enum TPart { wpSum2 = 0, wpSum3 = 1, wpSum4 = 2, wpMin = 3, wpMax = 4 };

  explicit TFactWeights(int sumCount)
      : FSumCount(sumCount), FStride(1 + kPerSummary * static_cast<std::size_t>(sumCount)) {}

  int SumCount() const { return FSumCount; }
  std::size_t Stride() const { return FStride; }
  std::int32_t RecordCount() const { return static_cast<std::int32_t>(FData.size() / FStride); }

  //! Facts that record r stands for.
  double Count(std::int32_t r) const { return FData[At(r)]; }
  //! The five values of summary s in record r, in TPart order.
  const double* Parts(std::int32_t r, int s) const { return &FData[At(r) + 1 + kPerSummary * s]; }
  //! The record's doubles (count first) for writing; r < RecordCount().
  double* Row(std::int32_t r) { return &FData[At(r)]; }

  //! Keeps `records` records; new ones are zero.
  void Resize(std::int32_t records) { FData.resize(static_cast<std::size_t>(records) * FStride, 0.0); }
  //! Every record's doubles, record after record.
  const std::vector<double>& Data() const { return FData; }
  std::vector<double>& Data() { return FData; }

 private:
  std::size_t At(std::int32_t r) const { return static_cast<std::size_t>(r) * FStride; }

  int FSumCount;
  std::size_t FStride;
  std::vector<double> FData;
};

}  // namespace qd
