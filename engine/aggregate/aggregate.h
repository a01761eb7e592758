// Aggregate functions and the per-mask totals of one summary: the first-pass
// accumulator (sum and count per cell key), the totals it turns into, and the
// function values read from them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qd {

//! The aggregate functions of a summary; the ordinals are stored in grid files.
enum class TFunction : std::uint8_t {
  stSum = 0,
  stCount = 1,
  stAverage = 2,
  stMin = 3,
  stMax = 4,
  stVariance = 5,
  stStdDev = 6,
  stMeanAbsDev = 7,
  stSkewness = 8,
  stKurtosis = 9,
  stMedian = 10,
  stCustom1 = 11,
  stCustom2 = 12,
  stCustom3 = 13,
  stCustom4 = 14,
  stCustom5 = 15,
};

constexpr int kFunctionCount = 16;
constexpr int kStandardFunctionCount = 11;
constexpr int kCustomFunctionCount = 5;

//! True for the functions that need the second pass over the fact records.
constexpr bool IsSecondPassFunction(TFunction f) {
  return static_cast<int>(f) >= 3;
}

//! True for the functions computed from the moments about the cell mean.
constexpr bool IsMomentFunction(TFunction f) {
  return f >= TFunction::stVariance && f <= TFunction::stKurtosis;
}

//! True for the functions that need every single fact: a cube aggregated in
//! the database does not offer them.
constexpr bool NeedsEveryFact(TFunction f) {
  return f == TFunction::stMeanAbsDev || f >= TFunction::stMedian;
}

//! Why a cube aggregated in the database does not offer `f` ("在数据库中汇总的
//! Cube不含单条记录，无法计算中位数"); empty for the functions it offers.
std::string AggregatedRefusal(TFunction f);

//! The second-pass results of one cell (96 bytes, field order fixed).
struct TTwoPassRecord {
  double Minimum = 0;
  double Maximum = 0;
  double Variance = 0;
  double Skewness = 0;
  double Kurtosis = 0;
  double MeanAbsDev = 0;
  double Median = 0;
  double Custom[kCustomFunctionCount] = {};
};
static_assert(sizeof(TTwoPassRecord) == 96);

//! Cell keys in ascending (signed) order; one list is shared by the totals of
//! every summary for the same mask.
using TKeyList = std::vector<std::int64_t>;
using TKeyListPtr = std::shared_ptr<TKeyList>;

//! The aggregated cells of one summary for one mask. Values are aligned with
//! the shared key list.
class TTotals {
 public:
  explicit TTotals(TKeyListPtr keys = nullptr);

  struct TLookup {
    std::size_t Position;
    double Sum;
    std::int32_t Count;
    const TTwoPassRecord* TwoPass;  //!< null until the second pass ran
  };

  //! Binary search of the key; nullopt when the cell does not exist.
  std::optional<TLookup> Lookup(std::int64_t key) const;
  //! Position of the key in the key list, or -1.
  std::ptrdiff_t IndexOf(std::int64_t key) const;

  //! Clears sums, counts, second-pass results and the shared key list.
  void Clear();

  std::size_t Size() const { return Sums.size(); }
  const TKeyList& Keys() const;
  const TKeyListPtr& KeyListPtr() const { return FKeys; }
  //! Replaces the key list by an equal one that other totals hold.
  void ShareKeys(TKeyListPtr keys) { FKeys = std::move(keys); }

  std::vector<double> Sums;
  std::vector<std::int32_t> Counts;
  //! Smallest and largest value per cell when the first pass knew them
  //! (empty otherwise); they equal the second pass's minimum and maximum.
  std::vector<double> Mins, Maxs;
  //! One record per cell once the second pass ran; empty before.
  std::vector<TTwoPassRecord> TwoPass;
  bool TwoPassDone = false;
  //! The medians in TwoPass are valid.
  bool TwoPassMedians = false;
  //! The variances, deviations, skewnesses and kurtoses in TwoPass are valid.
  bool TwoPassMoments = false;

 private:
  TKeyListPtr FKeys;
};

//! Value of a function at a key; nullopt when the cell does not exist.
//! Before the second pass, Min and Max read the first pass's values when it
//! knew them, the other second-pass functions 0.
std::optional<double> FunctionValue(const TTotals& totals, std::int64_t key, TFunction function);
//! The same for a cell position already looked up.
double FunctionValueAt(const TTotals& totals, std::size_t position, TFunction function);

//! The totals of one summary for every mask computed so far, sorted by mask.
class TTotalLines {
 public:
  TTotals* Find(std::uint32_t mask) const;
  //! Stores totals under a mask (replacing earlier ones) and returns them.
  TTotals* Add(std::uint32_t mask, std::unique_ptr<TTotals> totals);
  void Clear();

  std::size_t Count() const { return FMasks.size(); }
  std::uint32_t Mask(std::size_t i) const { return FMasks[i]; }
  TTotals* Item(std::size_t i) const { return FItems[i].get(); }

 private:
  std::vector<std::uint32_t> FMasks;
  std::vector<std::unique_ptr<TTotals>> FItems;
};

//! First-pass accumulator of one summary for one mask: sum, count and number
//! of additions per cell key. Consecutive additions to the same key skip the
//! search; nodes live in flat arrays behind an open-addressing index.
class TSummaryArray {
 public:
  TSummaryArray();

  //! Adds a value (count increment 1) or a cell's sum and count; the cell
  //! minimum and maximum are kept only while every increment is 1.
  void Add(std::int64_t key, double value, std::int32_t countIncrement = 1) {
    if (countIncrement != 1) FMinMaxKnown = false;
    AddCell(key, value, countIncrement, value, value);
  }
  //! Adds a finer cell with its sum, count, minimum and maximum.
  void AddCell(std::int64_t key, double sum, std::int32_t count, double min, double max) {
    if (FLast >= 0 && FKeys[FLast] == key) {
      Merge(FLast, sum, count, min, max);
      return;
    }
    AddSlow(key, sum, count, min, max);
  }

  std::size_t NodeCount() const { return FKeys.size(); }
  //! Additions received by a key (0 when absent).
  std::int32_t Additions(std::int64_t key) const;

  //! Converts into totals bound to `keys`. An empty key list is filled with
  //! this accumulator's keys; a filled one must contain every key of this
  //! accumulator, and cells it lacks get sum 0 and count 0.
  std::unique_ptr<TTotals> ToTotals(const TKeyListPtr& keys) const;

  void Clear();

 private:
  void Merge(std::int32_t node, double sum, std::int32_t count, double min, double max) {
    FSums[node] += sum;
    FCounts[node] += count;
    ++FAdditions[node];
    if (min < FMins[node]) FMins[node] = min;
    if (!(max <= FMaxs[node])) FMaxs[node] = max;
  }
  void AddSlow(std::int64_t key, double sum, std::int32_t count, double min, double max);
  std::int32_t Find(std::int64_t key) const;
  void CopyMinMax(const std::vector<std::int32_t>& order,
                  const std::vector<std::int32_t>* positions, TTotals& totals) const;
  void Grow();

  std::vector<std::int64_t> FKeys;
  std::vector<double> FSums;
  std::vector<std::int32_t> FCounts;
  std::vector<std::int32_t> FAdditions;
  std::vector<double> FMins, FMaxs;
  bool FMinMaxKnown = true;
  std::vector<std::int32_t> FSlots;  // node index + 1, 0 = free
  std::uint64_t FSlotMask = 0;
  std::int32_t FLast = -1;
};

//! Indexes into `keys` that visit them in ascending (signed) order.
std::vector<std::int32_t> AscendingKeyOrder(const std::vector<std::int64_t>& keys);

}  // namespace qd
