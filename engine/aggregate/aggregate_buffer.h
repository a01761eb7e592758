// Storage for the large per-record arrays of the aggregation (value order,
// record cells): blocks of 4 MB and more are aligned to 2 MB and asked for
// transparent huge pages, which makes touching them for the first time far
// cheaper than with 4 KB pages.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qd {

template <class T>
class TBigAllocator {
 public:
  using value_type = T;

  TBigAllocator() = default;
  template <class U>
  TBigAllocator(const TBigAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kLarge) return static_cast<T*>(::operator new(bytes));
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (!p) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return static_cast<T*>(p);
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (n * sizeof(T) < kLarge) {
      ::operator delete(p);
    } else {
      std::free(p);
    }
  }

  template <class U>
  bool operator==(const TBigAllocator<U>&) const noexcept {
    return true;
  }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  static constexpr std::size_t kLarge = std::size_t{4} << 20;
};

template <class T>
using TBigVector = std::vector<T, TBigAllocator<T>>;

}  // namespace qd
