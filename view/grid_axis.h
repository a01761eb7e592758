// One axis of the cell grid (its rows or its columns): the number of
// sections, their sizes with the grid line after each, and the start of every
// section, cached and searched by halving, so that any position or section is
// found in logarithmic time however long the grid is (the way Qt's header
// view keeps its sections).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qd {

class TGridAxis {
 public:
  int Count() const { return FCount; }
  //! Counts below 1 become 1; sections added take the default size.
  void SetCount(int count);
  int DefaultSize() const { return FDefault; }
  //! Drops every individual size.
  void SetDefaultSize(int size);
  int LineWidth() const { return FLine; }
  void SetLineWidth(int width);

  //! The size of section i (without its grid line); i must be a section.
  int Size(int i) const {
    return FSizes.empty() ? FDefault : FSizes[static_cast<std::size_t>(i)];
  }
  void SetSize(int i, int size);
  //! True while some section has a size of its own.
  bool HasOwnSizes() const { return !FSizes.empty(); }
  //! The individual sizes, one per section; empty while all are the default.
  const std::vector<int>& Sizes() const { return FSizes; }

  //! Where section i starts, counted from the start of section 0 with every
  //! section and grid line before it; i may be Count() (the end).
  std::int64_t Start(int i) const;
  //! The extent of sections [from, to) with their grid lines.
  std::int64_t Extent(int from, int to) const { return Start(to) - Start(from); }
  //! The section holding position `pos` (as Start counts), -1 before the
  //! first and Count() past the last.
  int SectionAt(std::int64_t pos) const;

 private:
  //! Starts from section `from` on are summed again when next asked for.
  void Invalidate(int from) { FValid = std::min(FValid, from); }
  //! Makes the starts of sections 0..i (i <= Count()) valid.
  void Ensure(int i) const;

  int FCount = 1;
  int FDefault = 20;
  int FLine = 1;
  std::vector<int> FSizes;  // empty while every size is the default
  // With own sizes: the start of every section and of the end; the first
  // FValid entries are current. Setting sizes one after the other from the
  // top therefore costs no more than one pass.
  mutable std::vector<std::int64_t> FStarts;
  mutable int FValid = 0;
};

}  // namespace qd
