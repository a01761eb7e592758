// Cube definition files (*.cfd): an INI text naming a connection file, a query
// file and the placement of the query's fields. This reads one into a plain
// description that the real-time cube build applies to the working cube.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

class TIniFile;

//! The user-data block this program writes with every local cube file it
//! saves; loading provides a buffer of the same 89 bytes and ignores it.
inline constexpr std::string_view CubeUserData =
    "Here is any binary data that a user can write into the stream together with the cube data";

//! Folder of the running executable, with a trailing separator.
std::string ProgramFolder();

//! The folder part of a file name with its trailing separator, or
//! `fallbackFolder` when the name has no folder part.
std::string FolderOf(std::string_view fileName, std::string_view fallbackFolder);

//! Splits a definition value at `separator` ("TAB" in any letter case means the
//! tab character) into `items`. The text is trimmed first; when it is empty the
//! result is false and `items` is left alone. An empty part becomes "NIL", a
//! trailing separator adds no item, and items are not trimmed.
bool splitString(std::string_view text, std::string_view separator,
                 std::vector<std::string>& items);

//! A file name from a definition: empty stays empty, a name with ":" or a
//! leading "/" or "\" is used as it is, anything else is taken relative to
//! `folder` (which ends with a separator).
std::string ResolveDefinitionFileName(std::string_view value, std::string_view folder);

//! The connection text of a definition with a file database (SQLite, CSV)
//! named relative to `folder`, as the companion files are, so that a
//! definition moved with its database keeps working. Other texts, absolute
//! names and texts that do not parse come back unchanged.
std::string ResolveConnectionFolder(const std::string& connection, std::string_view folder);

//! Ordinals equal those of the cube's TDimGroup, TDimSortType and
//! TTotalAppearance, so the build converts them with a cast.
enum class TCfdGroup : std::uint8_t { Row = 0, Col = 1, Page = 2 };
enum class TCfdSortType : std::uint8_t { Database = 0, NameAsc = 1, NameDesc = 2, Custom = 3 };
enum class TCfdTotal : std::uint8_t { First = 0, Last = 1, Invisible = 2 };

//! The composite parts an "AsDate" dimension asks for, in this order.
inline constexpr std::array<std::string_view, 3> CfdDateParts = {"Year", "Quarter", "Month"};

//! A dimension whose members are the rows of a table or view of the
//! definition's connection ("<key>Lookup" names it) rather than the fact
//! field's values: "<key>LookupKey" is the table's field that the fact field's
//! values match, "<key>LookupName" the field that names the members,
//! "<key>LookupParent" the field holding the parent member's key (a member
//! hierarchy such as region, city, branch in one table) and
//! "<key>LookupAttributes" the fields shown as member attributes (";"-separated).
struct TCfdLookup {
  std::string Table;
  std::string KeyField;
  std::string NameField;
  std::string ParentField;
  std::string Attributes;  //!< joined with "; "
};

//! One "DgRow"/"DgCol"/"DgPage" entry.
struct TCfdDimension {
  TCfdGroup Group = TCfdGroup::Row;
  int Number = 0;                          //!< n of the key, from 1
  std::string FieldName;                   //!< first item of the value
  std::optional<std::string> DisplayName;  //!< second item, when there is one
  bool AsDate = false;                     //!< "AsDate" was "1"
  std::optional<TCfdSortType> SortType;    //!< unset: an unknown or missing word
  std::optional<TCfdTotal> Total;          //!< unset: an unknown or missing word
  //! "<key>Parts": fields that follow FieldName in a composite dimension, each
  //! level a child of the one before (region, then city, then branch).
  std::vector<std::string> Parts;
  //! "<key>Ranges": cut the numeric field into this many value ranges of equal
  //! density; 0 keeps the field's own values.
  int Ranges = 0;
  //! Set when the entry names a lookup table.
  std::optional<TCfdLookup> Lookup;
};

//! One "DgSum" entry.
struct TCfdSummary {
  int Number = 0;
  std::string FieldName;
  std::optional<std::string> DisplayName;
};

struct TCubeDefinition {
  std::string FileName;                   //!< the definition file as given
  std::string Folder;                     //!< relative names are resolved against it
  std::string ConnectionFile;             //!< resolved "DB"/"ConnectString"; may be empty
  std::string QueryFile;                  //!< resolved "DB"/"QueryString"; may be empty
  std::vector<TCfdDimension> Dimensions;  //!< rows, then columns, then pages
  std::vector<TCfdSummary> Summaries;
  std::vector<std::string> KeyFields;  //!< "DgKeyField", every item, trimmed, in order
  std::string OutputFile;              //!< resolved "Other"/"OutPutFile"; may be empty
  //! "DgAggregateInDatabase=1": the database does the first aggregation.
  bool AggregateInDatabase = false;
};

//! Reads a definition file (a missing file reads as an empty definition).
//! Relative names resolve against the file's folder, or `programFolder` when
//! the name has no folder part.
TCubeDefinition ReadCubeDefinition(const std::string& fileName, std::string_view programFolder);

//! The same for an already loaded INI text whose folder is known.
TCubeDefinition ReadCubeDefinition(const TIniFile& ini, std::string_view folder);

//! The word of a "SortType" or "Total" key in any letter case; nullopt for
//! any other text.
std::optional<TCfdSortType> ParseSortType(std::string_view word);
std::optional<TCfdTotal> ParseTotal(std::string_view word);

}  // namespace qd
