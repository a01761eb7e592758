// Building a real-time cube from a definition file: the order of the steps,
// the checks and the user's messages. The working cube, its connection and
// its fact query are reached through TRealTimeCubeTarget, which the data
// module implements.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cube_definition.h"
#include "app/message_sink.h"

namespace qd {

//! The working cube `Vantra1` with the connection and fact query it reads.
class TRealTimeCubeTarget {
 public:
  virtual ~TRealTimeCubeTarget() = default;
  //! Closes the connection, replaces its connection string and opens it;
  //! throws when opening fails.
  virtual void OpenConnection(const std::string& connectionString) = 0;
  //! Closes the fact query and sets its SQL text.
  virtual void SetFactQuery(const std::string& sql) = 0;
  //! Deactivates the cube, clears its dimension map and refills it from the
  //! fact query's fields; returns the names of the plain fields (neither
  //! composite nor transformed).
  virtual std::vector<std::string> RefillDimensionMap() = 0;
  //! Places `fieldName` (as the map spells it) as a dimension of the entry's
  //! group with its total line last, then applies, in this order, the display
  //! name, the date parts (CfdDateParts), the sort type and the total, each
  //! only when the entry carries it.
  virtual void PlaceDimension(const std::string& fieldName, const TCfdDimension& entry) = 0;
  //! Marks the field as a summary, with the display name when given.
  virtual void MarkSummary(const std::string& fieldName,
                           const std::optional<std::string>& displayName) = 0;
  virtual void SetKeyFields(const std::vector<std::string>& fieldNames) = 0;
  //! The next Activate sends the first aggregation to the database and builds
  //! weighted records from its groups.
  virtual void SetAggregateInDatabase(bool on) { (void)on; }
  //! Activates the cube (runs the query and builds it) and binds it to the grid.
  virtual void Activate() = 0;
  virtual bool Active() const = 0;
  //! Saves the cube to a local cube file with CubeUserData as its user data.
  virtual void SaveToFile(const std::string& fileName) = 0;
};

//! The field of `fields` named `name` without regard to ASCII case (a name
//! with surrounding blanks also matches); nullopt when there is none.
std::optional<std::string> FindPlainField(const std::vector<std::string>& fields,
                                          std::string_view name);

//! Where a build wrote its local cube file ("OutPutFile").
struct TCfdOutput {
  std::string File;           //!< absolute; empty when nothing was written
  bool OutsideFolder = false;  //!< the file lies outside the definition's folder
};

//! What a build reads: the definition and the texts of its two companions
//! (nullopt when a companion file is missing).
struct TCfdTexts {
  TCubeDefinition Definition;
  std::optional<std::string> Connection;
  std::optional<std::string> Query;
};

//! Builds the working cube from a definition file; true on success. Failures
//! before the build are shown through `sink` and give false. An error while
//! refilling the dimension map or saving the output file is thrown to the
//! caller. `shownName` names the definition in messages (default: fileName).
//! `output`, when given, receives the output file written.
bool MakeCFD(const std::string& fileName, std::string_view programFolder, TRealTimeCubeTarget& cube,
             TMessageSink& sink, std::string_view shownName = {}, TCfdOutput* output = nullptr);

//! The build of MakeCFD from texts already read.
bool BuildCubeDefinition(const TCfdTexts& texts, TRealTimeCubeTarget& cube, TMessageSink& sink,
                         std::string_view shownName, TCfdOutput* output = nullptr);

//! The command that opens a definition: a *.cfd is built directly, a *.cfdm
//! (extension in any letter case) is decoded in memory and built from its
//! texts. Shows "CUBE生成成功！" on success, followed by the output file written
//! and, when it lies outside the definition's folder, a note saying so.
//! Another extension does nothing and gives false.
bool OpenDefinitionFile(const std::string& fileName, std::string_view programFolder,
                        TRealTimeCubeTarget& cube, TMessageSink& sink,
                        TCfdOutput* output = nullptr);

//! The same for callers without message boxes (the command-line tool): a
//! failure is thrown as ECubeError carrying the messages, one per line; on
//! success the output file written.
TCfdOutput BuildDefinitionFile(const std::string& fileName, std::string_view programFolder,
                               TRealTimeCubeTarget& cube);

}  // namespace qd
