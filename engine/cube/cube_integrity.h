// The integrity record a cube file keeps beside its cube stream: where the
// cube came from (connection without passwords, query, build time, rows read,
// program version), the CRC-32C of the decoded cube stream outside the record
// and every summary's grand sum and count. Readers that do not know the
// record skip it like any unknown field.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/cube/cube_build.h"
#include "engine/io/tagged_stream.h"

namespace qd {

//! Sum and count of each summary's values over all fact records, in record
//! order, NaN values left out. The count is of facts: a weighted record (a
//! cube grouped in the database) counts the facts it stands for.
std::vector<TGrandTotal> GrandTotals(const TFactTable& facts);

//! Sets the provenance of a cube just built from `origin`: the rows read,
//! this program's version and, for records read from a database, the time
//! now (SOURCE_DATE_EPOCH when set).
void StampProvenance(TCubeIntegrity& record, const TDataOrigin& origin, std::int64_t rows);

//! Writes the record as the object value of field `tag`: the cube's
//! provenance, `crc` and the grand totals of its fact table.
void WriteIntegrityRecord(TTagWriter& w, TTag tag, const TBuiltCube& cube, std::uint32_t crc);
//! Reads the record's object value into `record` and marks it stored.
void ReadIntegrityRecord(TTagReader& r, TCubeIntegrity& record);

//! The checksum of a block's bytes (`block` holds it from its base tag to
//! its end tag) leaving out the entry of field `field`; the whole block when
//! the field is not there.
std::uint32_t ChecksumOutsideField(std::span<const std::uint8_t> block, TTag base, TTag field);

//! What differs between the record a loaded file held and the cube as read,
//! one message each; empty when everything holds or there was no record.
std::vector<std::string> IntegrityDifferences(const TBuiltCube& cube);

}  // namespace qd
