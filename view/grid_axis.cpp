#include "view/grid_axis.h"

namespace qd {

void TGridAxis::SetCount(int count) {
  count = std::max(1, count);
  if (count == FCount) return;
  Invalidate(std::min(count, FCount) + 1);
  FCount = count;
  if (!FSizes.empty()) {
    FSizes.resize(static_cast<std::size_t>(count), FDefault);
    FStarts.resize(static_cast<std::size_t>(count) + 1);
  }
}

void TGridAxis::SetDefaultSize(int size) {
  FDefault = size;
  FSizes.clear();
  FStarts.clear();
  Invalidate(0);
}

void TGridAxis::SetLineWidth(int width) {
  FLine = std::max(0, width);
  Invalidate(0);
}

void TGridAxis::SetSize(int i, int size) {
  if (FSizes.empty()) {
    if (size == FDefault) return;
    FSizes.assign(static_cast<std::size_t>(FCount), FDefault);
    FStarts.assign(static_cast<std::size_t>(FCount) + 1, 0);
    Invalidate(0);
  }
  int& slot = FSizes[static_cast<std::size_t>(i)];
  if (slot == size) return;
  slot = size;
  Invalidate(i + 1);  // the start of section i itself stays
}

void TGridAxis::Ensure(int i) const {
  for (int k = FValid; k <= i; ++k)
    FStarts[static_cast<std::size_t>(k)] =
        k == 0 ? 0
               : FStarts[static_cast<std::size_t>(k) - 1] +
                     FSizes[static_cast<std::size_t>(k) - 1] + FLine;
  FValid = std::max(FValid, i + 1);
}

std::int64_t TGridAxis::Start(int i) const {
  i = std::clamp(i, 0, FCount);
  if (FSizes.empty()) return static_cast<std::int64_t>(i) * (FDefault + FLine);
  Ensure(i);
  return FStarts[static_cast<std::size_t>(i)];
}

int TGridAxis::SectionAt(std::int64_t pos) const {
  if (pos < 0) return -1;
  if (FSizes.empty()) {
    const std::int64_t step = FDefault + FLine;
    if (step <= 0) return FCount;
    return static_cast<int>(std::min<std::int64_t>(pos / step, FCount));
  }
  // Sum on until a start lies beyond pos, doubling the stretch each time.
  for (int upTo = std::max(FValid - 1, 0);; upTo = std::min(FCount, upTo * 2 + 64)) {
    Ensure(upTo);
    if (FStarts[static_cast<std::size_t>(upTo)] > pos || upTo == FCount) break;
  }
  // The last section whose start is at or before pos.
  const auto end = FStarts.begin() + FValid;
  const int i = static_cast<int>(std::upper_bound(FStarts.begin(), end, pos) - FStarts.begin()) - 1;
  return std::min(i, FCount);
}

}  // namespace qd
