// Decoding a local cube file's container into one block whose fact records the
// fact table then keeps as they are: the records are decoded straight into
// the memory they are used from, without a copy, a zero-fill or a pre-scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace qd {

struct TFreeBlock {
  void operator()(void* p) const { std::free(p); }
};

//! A decoded container in a malloc'ed block.
struct TContainerBlock {
  std::unique_ptr<std::uint8_t, TFreeBlock> Data;
  std::size_t Size = 0;
  std::size_t Capacity = 0;
  std::span<const std::uint8_t> Bytes() const { return {Data.get(), Size}; }

  //! When the records were passed over: where they were, how long they are,
  //! and the checksum of the cube stream from its begin tag up to their end.
  //! The bytes after them follow at RecordsAt in the block.
  bool RecordsPassed = false;
  std::size_t RecordsAt = 0, RecordsLength = 0;
  std::uint32_t CrcThroughRecords = 0;
};

//! Where the fact records of a cube container begin and how many bytes they
//! take; nullopt-like Found == false when the container is not laid out as a
//! cube file with records (the reader then sees it as it is).
struct TFactItems {
  bool Found = false;
  std::size_t Offset = 0, Length = 0;
  //! Where the cube stream begins (its begin tag).
  std::size_t CubeBegin = 0;
  //! Bytes of the container needed to tell; 0 once told.
  std::size_t Need = 0;
};
//! Follows the container's tags up to the fact records, skipping the values
//! before them by their stored sizes.
TFactItems FindFactItems(std::span<const std::uint8_t> head);

//! What becomes of the fact records while decoding.
enum class TRecords {
  rKeep,        //!< decoded into the block with the rest
  rStopBefore,  //!< decoding stops where they begin
  rPassOver,    //!< decoded through a small buffer for their checksum only
};

//! Decodes a container's code. Decoding more than `limit` bytes, or records
//! longer than the rest of the code can hold, raises the stream error before
//! their memory is taken. A container without records decodes whole in
//! every mode. With releaseCode, the pages of the code already decoded are
//! given back to the system while the records are decoded (they read as zeros
//! afterwards), for a caller that drops the code once it is decoded.
TContainerBlock DecodeCubeContainer(std::span<const std::uint8_t> code, std::size_t limit,
                                    TRecords records = TRecords::rKeep, bool releaseCode = false);

//! While alive, the fact table reader may adopt `block` when the records it
//! reads lie inside it (TFactTable::Adopt); the block is then released.
class TAdoptableBlock {
 public:
  explicit TAdoptableBlock(TContainerBlock& block);
  ~TAdoptableBlock();
  TAdoptableBlock(const TAdoptableBlock&) = delete;
  TAdoptableBlock& operator=(const TAdoptableBlock&) = delete;
  //! The block holding `records` (then released to the caller), else nullptr.
  static void* Take(std::span<const std::uint8_t> records);

 private:
  TAdoptableBlock* FOuter;
  TContainerBlock& FBlock;
};

}  // namespace qd
