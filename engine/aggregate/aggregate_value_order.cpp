// The value order of the second pass: records by value ascending, equal values
// in record order, by a stable radix sort on order-preserving value bits.
#include <array>
#include <bit>

#include "engine/aggregate/aggregate_two_pass.h"

namespace qd {

namespace {

constexpr std::uint64_t kSignBit = 0x8000000000000000ull;

// Maps a double to an unsigned key with the same order; -0 maps like +0.
inline std::uint64_t OrderedBits(double v) {
  if (v == 0) v = 0.0;
  auto bits = std::bit_cast<std::uint64_t>(v);
  return (bits & kSignBit) ? ~bits : bits ^ kSignBit;
}

inline double FromOrderedBits(std::uint64_t key) {
  std::uint64_t bits = (key & kSignBit) ? key ^ kSignBit : ~key;
  return std::bit_cast<double>(bits);
}

// `value(i)` is the value of record i.
template <class TValueOf>
void RadixSort(std::size_t n, const TValueOf& value, TBigVector<double>& sortedValues,
               TBigVector<std::uint32_t>& records) {
  constexpr int kDigitBits = 11;
  constexpr int kDigits = (64 + kDigitBits - 1) / kDigitBits;
  constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
  TBigVector<std::uint64_t> keys(n), keysTmp(n);
  TBigVector<std::uint32_t> recs(n), recsTmp(n);
  // One read builds every digit's histogram; a digit that is the same for all
  // keys needs no pass.
  std::vector<std::array<std::uint32_t, kBuckets>> hist(kDigits);
  for (auto& h : hist) h.fill(0);
  for (std::size_t i = 0; i < n; ++i) {
    std::uint64_t k = OrderedBits(value(i));
    keys[i] = k;
    recs[i] = static_cast<std::uint32_t>(i);
    for (int d = 0; d < kDigits; ++d) ++hist[d][(k >> (d * kDigitBits)) & (kBuckets - 1)];
  }
  // Least significant digit first; each pass is stable, so equal values stay
  // in record order.
  for (int d = 0; d < kDigits; ++d) {
    auto& h = hist[d];
    bool trivial = false;
    for (std::uint32_t c : h) {
      if (c == n) trivial = true;
      if (c != 0) break;
    }
    if (trivial || n == 0) continue;
    std::uint32_t offset = 0;
    for (auto& c : h) {
      std::uint32_t count = c;
      c = offset;
      offset += count;
    }
    const int shift = d * kDigitBits;
    for (std::size_t i = 0; i < n; ++i) {
      std::uint32_t at = h[(keys[i] >> shift) & (kBuckets - 1)]++;
      keysTmp[at] = keys[i];
      recsTmp[at] = recs[i];
    }
    keys.swap(keysTmp);
    recs.swap(recsTmp);
  }
  keysTmp = {};
  recsTmp = {};
  const std::uint64_t zeroKey = OrderedBits(0.0);
  sortedValues.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    sortedValues[i] = keys[i] == zeroKey ? value(recs[i]) : FromOrderedBits(keys[i]);
  }
  records = std::move(recs);
}

}  // namespace

void TTwoPassDataArray::Sort(std::span<const double> values, TBigVector<double>& sortedValues,
                             TBigVector<std::uint32_t>& records) {
  RadixSort(
      values.size(), [&](std::size_t i) { return values[i]; }, sortedValues, records);
}

void TTwoPassDataArray::Sort(const TFactTable& facts, int summaryIndex,
                             TBigVector<double>& sortedValues, TBigVector<std::uint32_t>& records) {
  RadixSort(
      static_cast<std::size_t>(facts.RecordCount()),
      [&](std::size_t i) { return facts.Value(static_cast<std::int32_t>(i), summaryIndex); },
      sortedValues, records);
}

}  // namespace qd
