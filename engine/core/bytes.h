// Integers and doubles in byte buffers, little-endian: the byte order of every
// stored format (tagged streams, cube-file blocks, typed arrays, fact and
// memory-dataset records, XLS records) on any host. On a little-endian host
// each Load and Store is one unaligned move.
#pragma once

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

namespace qd {

template <class T>
concept TByteValue = std::is_arithmetic_v<T> || std::is_enum_v<T>;

namespace bytes_detail {

template <class T>
T Swapped(T v) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, &v, sizeof v);
  std::reverse(b, b + sizeof b);
  std::memcpy(&v, b, sizeof v);
  return v;
}

}  // namespace bytes_detail

//! The value stored little-endian at p (no alignment needed).
template <TByteValue T>
inline T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native != std::endian::little && sizeof(T) > 1)
    v = bytes_detail::Swapped(v);
  return v;
}

//! Stores v little-endian at p (no alignment needed).
template <TByteValue T>
inline void Store(void* p, T v) {
  if constexpr (std::endian::native != std::endian::little && sizeof(T) > 1)
    v = bytes_detail::Swapped(v);
  std::memcpy(p, &v, sizeof v);
}

//! Appends v little-endian to a byte container (std::string, std::vector of bytes).
template <TByteValue T, class Bytes>
inline void AppendBytes(Bytes& out, T v) {
  unsigned char b[sizeof(T)];
  Store(b, v);
  out.insert(out.end(), b, b + sizeof b);
}

}  // namespace qd
