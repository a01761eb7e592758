// The cube side of editing a cell's fact records: a dataset of the key fields
// of chosen records with their summary value, and the write-back of edited
// values into the fact table.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "engine/cube/fact_table.h"
#include "engine/cube/key_set.h"
#include "engine/data/memo_dataset.h"

namespace qd {

//! A new open dataset with one field per key column (its name and type) and a
//! last float field named like the source's first field, holding for each
//! listed position p (0-based) of `source` the key values of the fact record
//! in that record's tag and the source's first field; each record's tag is the
//! fact record number. The key fields are read-only. A cube without key fields
//! gets the value field alone, so that its edits still reach the fact table.
//! nullptr when `positions` is absent or the source is empty. The source's
//! cursor is restored.
std::unique_ptr<TvtMemoDataSet> BuildKeyFieldDataSet(TKeySet& keys, TvtMemoDataSet& source,
                                                     const std::vector<int>* positions);

//! The size a text field of a memory dataset needs to hold `text` whole.
int StoredTextSize(std::string_view text);

//! Writes the last field of every record of `edited` into the value of summary
//! `summary` of the fact record in the record's tag. Records whose tag names no
//! fact record are skipped.
void WriteBackFactValues(TFactTable& facts, TvtMemoDataSet& edited, int summary);

}  // namespace qd
