// The order of a dimension's members: caption comparisons of the locale, month
// names, and a stable sort that stays within bounds whatever the comparison
// returns (comparisons may come from the application's handler).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qd {

class TDimensionState;

//! The locale's case-sensitive comparison of two captions (pinyin order for
//! Chinese text): negative, 0 (equal texts only) or positive. The member
//! order and every search in it use this comparison.
int CompareCaptionText(std::string_view a, std::string_view b);

//! The two nodes' captions compared with CompareCaptionText: -1, 0 or 1.
int CompareCaptions(const TDimensionState& state, int a, int b);
//! Compares the month numbers of the two nodes' captions (1..12 for a long
//! month name of the locale, any letter case; -1 otherwise): -1, 0 or 1.
int CompareMonthNames(const TDimensionState& state, int a, int b);
//! The dimension's field name.
std::string GetFieldName(const TDimensionState& state);
//! The node's caption; empty for an invalid node.
std::string GetMemberCaption(const TDimensionState& state, int node);

//! Stable merge sort by `less`: items that are not less than each other keep
//! their order. It never reads outside the list, even when `less` is not a
//! consistent order.
template <class T, class Less>
void StableSortBy(std::vector<T>& items, Less less) {
  const std::size_t n = items.size();
  if (n < 2) return;
  std::vector<T> buffer(n);
  std::vector<T>* from = &items;
  std::vector<T>* to = &buffer;
  for (std::size_t width = 1; width < n; width *= 2) {
    for (std::size_t lo = 0; lo < n; lo += 2 * width) {
      const std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      std::size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi)
        (*to)[k++] = std::move(less((*from)[j], (*from)[i]) ? (*from)[j++] : (*from)[i++]);
      while (i < mid) (*to)[k++] = std::move((*from)[i++]);
      while (j < hi) (*to)[k++] = std::move((*from)[j++]);
    }
    std::swap(from, to);
  }
  if (from != &items) items = std::move(*from);
}

}  // namespace qd
