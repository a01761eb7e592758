// Advice to the system about large blocks of memory: huge pages before a
// block is first touched, and pages handed back once their bytes are used up.
#pragma once

#include <cstddef>

namespace qd {

//! Asks for 2 MB pages over the whole huge pages inside the block, when it
//! spans at least `minHugePages` of them. A block filled page by page in fresh
//! memory then takes a fraction of the page faults of 4 KB pages.
void AdviseHugePages(void* data, std::size_t bytes, std::size_t minHugePages = 2);

//! Gives the whole pages inside the block back to the system; their contents
//! read as zeros afterwards.
void ReleasePages(const void* data, std::size_t bytes);

}  // namespace qd
