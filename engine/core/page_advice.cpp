#include "engine/core/page_advice.h"

#include <cstdint>

#include <sys/mman.h>

namespace qd {

namespace {

// Calls madvise over the whole units of `unit` bytes inside the block.
void AdviseWhole(const void* data, std::size_t bytes, std::uintptr_t unit, int advice) {
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const auto begin = (at + unit - 1) & ~(unit - 1);
  const auto end = (at + bytes) & ~(unit - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, advice);
}

}  // namespace

void AdviseHugePages(void* data, std::size_t bytes, std::size_t minHugePages) {
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (bytes < minHugePages * kHuge) return;
  AdviseWhole(data, bytes, kHuge, MADV_HUGEPAGE);
}

void ReleasePages(const void* data, std::size_t bytes) {
  AdviseWhole(data, bytes, 4096, MADV_DONTNEED);
}

}  // namespace qd
