// The dataset interface: a forward record cursor over a query result, a table
// or an in-memory list, read by the cube build and shown by the editors.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qd {

//! Field data types. Stored by ordinal in cube files and properties: never renumber.
enum class TFieldType : std::uint8_t {
  ftUnknown = 0, ftString = 1, ftSmallint = 2, ftInteger = 3, ftWord = 4, ftBoolean = 5,
  ftFloat = 6, ftCurrency = 7, ftBCD = 8, ftDate = 9, ftTime = 10, ftDateTime = 11,
  ftBytes = 12, ftVarBytes = 13, ftAutoInc = 14, ftBlob = 15, ftMemo = 16, ftGraphic = 17,
  ftFmtMemo = 18, ftParadoxOle = 19, ftDBaseOle = 20, ftTypedBinary = 21, ftCursor = 22,
  ftFixedChar = 23, ftWideString = 24, ftLargeint = 25, ftADT = 26, ftArray = 27,
  ftReference = 28, ftDataSet = 29, ftOraBlob = 30, ftOraClob = 31, ftVariant = 32,
  ftInterface = 33, ftIDispatch = 34, ftGuid = 35, ftTimeStamp = 36, ftFMTBcd = 37
};
constexpr int kFieldTypeCount = 38;

//! "ftString" for TFieldType::ftString; "ftUnknown" for out-of-range ordinals.
const char* FieldTypeName(TFieldType t);
bool IsIntegerFieldType(TFieldType t);  // smallint, integer, word, autoinc, largeint
bool IsRealFieldType(TFieldType t);     // float, currency, BCD, FMTBcd
bool IsDateTimeFieldType(TFieldType t); // date, time, date-time, timestamp
bool IsTextFieldType(TFieldType t);     // string, fixed char, wide string, memo, GUID

//! A field value. Date-times are days since 1899-12-30 held as a double with a
//! date-time field type; currency and decimals are doubles.
using TVariant = std::variant<std::monostate, bool, std::int64_t, double, std::string>;
bool VarIsNull(const TVariant& v);

enum class TDataSetState : std::uint8_t { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };

//! Options of Locate.
enum class TLocateOption : std::uint8_t { loCaseInsensitive = 0, loPartialKey = 1 };

//! A set of Locate options.
class TLocateOptions {
 public:
  constexpr TLocateOptions() = default;
  constexpr TLocateOptions(std::initializer_list<TLocateOption> options) {
    for (TLocateOption o : options) FBits |= Bit(o);
  }
  constexpr bool Contains(TLocateOption o) const { return (FBits & Bit(o)) != 0; }

 private:
  static constexpr std::uint8_t Bit(TLocateOption o) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(o));
  }
  std::uint8_t FBits = 0;
};

//! An opaque position of a record; empty when there is none.
using TBookmark = std::string;

class TDataSet;

//! A column of a dataset; a handle that reads the dataset's current record.
class TField {
 public:
  TField(TDataSet* owner, int index, std::string name, TFieldType type, int size = 0);

  const std::string& FieldName() const { return FName; }
  //! The display label, or the name when it has none.
  const std::string& DisplayLabel() const { return FLabel.empty() ? FName : FLabel; }
  void SetDisplayLabel(std::string label) { FLabel = std::move(label); }
  TFieldType DataType() const { return FType; }
  int Index() const { return FIndex; }
  int Size() const { return FSize; }
  bool Calculated() const { return FCalculated; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool b) { FReadOnly = b; }
  TDataSet* DataSet() const { return FOwner; }

  // Values of the current record; a null reads as 0, "" or false.
  bool IsNull() const;
  TVariant Value() const;
  std::string AsString() const;  //!< display text
  std::int64_t AsLargeInt() const;
  std::int32_t AsInteger() const { return static_cast<std::int32_t>(AsLargeInt()); }
  double AsFloat() const;
  //! The value as a number: false, with `value` 0, when the value is a text
  //! that is not one number ("abc", "12,5"); true for numbers and nulls.
  bool AsNumber(double& value) const;
  std::int64_t AsCurrency() const;  //!< fixed point, four decimals (value × 10000)
  double AsDateTime() const;
  bool AsBoolean() const;
  //! Fast paths for bulk readers; false when the dataset does not offer them.
  //! TextView lends the display text until the cursor moves. TextCode numbers
  //! the distinct texts of this field (equal texts, equal codes, small numbers
  //! from 0), stable while the dataset keeps its rows.
  bool TextView(std::string_view& out) const;
  bool TextCode(std::int32_t& code) const;

  //! Sets the value in edit, insert or calculated-fields state.
  void SetValue(const TVariant& v);
  void Clear() { SetValue(TVariant{}); }

 private:
  friend class TDataSet;
  TDataSet* FOwner;
  int FIndex;
  std::string FName, FLabel;
  TFieldType FType;
  int FSize;
  bool FCalculated = false;
  bool FReadOnly = false;
};

//! Where a dataset's records come from: the connection, its passwords left
//! out, and the query. Empty for records held in memory.
struct TDataOrigin {
  std::string Connection;
  std::string Query;
};

//! Base of every dataset. Subclasses supply the records; the base keeps the
//! field list, calculated fields, state, events and destroy notification.
class TDataSet {
 public:
  TDataSet();
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  //! Component name, shown in cube messages.
  std::string Name;

  bool Active() const { return FState != TDataSetState::dsInactive; }
  void SetActive(bool value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }

  void First();
  void Next();
  bool Eof() const { return FEof; }
  bool Bof() const { return FBof; }
  //! Moves back one record; sets Bof when there is none before. Datasets that
  //! read forward only raise EGenericError.
  void Prior();
  //! Moves to the last record and sets Eof.
  void Last();
  //! True when the dataset has no current record.
  bool IsEmpty() const { return FEof && FBof; }
  //! 1-based position of the current record (records read since First for
  //! datasets that do not keep positions).
  std::int64_t RecNo() const {
    std::int64_t n = DoRecNo();
    return n >= 0 ? n : FRecNo;
  }
  //! Moves to record number n; forward-only datasets raise EGenericError.
  virtual void SetRecNo(std::int64_t n);
  //! Number of records when the dataset knows it, else -1.
  virtual std::int64_t RecordCount() const { return -1; }
  virtual TDataOrigin Origin() const { return {}; }

  int FieldCount() const { return static_cast<int>(FFields.size()); }
  TField& Fields(int i) const;
  //! By name without regard to letter case; nullptr when absent.
  TField* FindField(std::string_view name) const;
  //! By name; raises EGenericError "Field '%s' not found" when absent.
  TField& FieldByName(std::string_view name) const;

  //! Declares a calculated field (before Open); OnCalcFields fills it per record.
  void AddCalculatedField(const std::string& name, TFieldType type, int size = 0);
  std::function<void(TDataSet&)> OnCalcFields;

  // Destroy notification: the callback runs when the dataset is destroyed.
  int AddDestroyListener(std::function<void(TDataSet*)> cb);
  void RemoveDestroyListener(int id);

  // Editing. Datasets that cannot edit raise EGenericError.
  TDataSetState State() const { return FState; }
  virtual bool CanModify() const { return false; }
  virtual void Edit();
  virtual void Insert();
  virtual void Append();
  virtual void Post();
  virtual void Cancel();
  virtual void Delete();

  // Bookmarks and searching; forward-only datasets give no bookmarks and raise
  // EGenericError on GotoBookmark and Locate.
  virtual TBookmark GetBookmark() const { return {}; }
  virtual bool BookmarkValid(const TBookmark&) const { return false; }
  virtual void GotoBookmark(const TBookmark& bookmark);
  //! Moves to the first record whose fields (names separated by ";") match the
  //! values; false, with the cursor unchanged, when none does.
  virtual bool Locate(std::string_view keyFields, const std::vector<TVariant>& keyValues,
                      TLocateOptions options);
  bool Locate(std::string_view keyField, const TVariant& keyValue, TLocateOptions options) {
    return Locate(keyField, std::vector<TVariant>{keyValue}, options);
  }

  //! Command time-out in seconds (0 = none); adapters honour it.
  int CommandTimeout = 30;

 protected:
  // Subclass hooks. DoOpen declares the data fields with AddDataField.
  virtual void DoOpen() = 0;
  virtual void DoClose() = 0;
  //! Run once the dataset is open on its first record, and once it is closed.
  virtual void DoAfterOpen() {}
  virtual void DoAfterClose() {}
  //! Run after First, Next, Prior and Last.
  virtual void DoAfterScroll() {}
  //! Moves to the first record; false when there is none.
  virtual bool DoFirst() = 0;
  //! Moves to the next record; false at the end.
  virtual bool DoNext() = 0;
  //! Moves to the previous and the last record; false when there is none.
  //! The defaults raise EGenericError (forward-only datasets).
  virtual bool DoPrior();
  virtual bool DoLast();
  //! 1-based position of the current record, or -1 when the dataset does not
  //! keep positions (then the base counts the records read).
  virtual std::int64_t DoRecNo() const { return -1; }
  virtual bool DataIsNull(int field) const = 0;
  virtual TVariant DataValue(int field) const = 0;
  //! Editing hook; only called in edit or insert state.
  virtual void SetDataValue(int field, const TVariant& v);

  // Fast paths; the defaults convert DataValue.
  virtual std::string DataText(int field) const;
  virtual std::int64_t DataInt(int field) const;
  virtual double DataFloat(int field) const;
  //! Behind TField::AsNumber; the default converts DataValue, reading a text
  //! with TextToNumber.
  virtual bool DataNumber(int field, double& value) const;
  // Optional fast paths behind TField::TextView and TField::TextCode.
  virtual bool DataTextView(int, std::string_view&) const { return false; }
  virtual bool DataTextCode(int, std::int32_t&) const { return false; }

  TField& AddDataField(const std::string& name, TFieldType type, int size = 0);
  void ClearFields();
  void SetState(TDataSetState s) { FState = s; }
  //! Re-runs the calculated-fields callback for the current record.
  void CalcCurrentRecord();
  void SetEof(bool eof) { FEof = eof; }
  void SetBof(bool bof) { FBof = bof; }

 private:
  friend class TField;
  bool IsNullAt(int i) const;
  TVariant ValueAt(int i) const;
  std::string TextAt(int i) const;
  std::int64_t IntAt(int i) const;
  double FloatAt(int i) const;
  bool NumberAt(int i, double& value) const;

  std::vector<std::unique_ptr<TField>> FFields;
  struct TCalcDef {
    std::string Name;
    TFieldType Type;
    int Size;
  };
  std::vector<TCalcDef> FCalcDefs;
  std::vector<TVariant> FCalcValues;
  int FDataFieldCount = 0;
  TDataSetState FState = TDataSetState::dsInactive;
  bool FEof = true;
  bool FBof = true;
  std::int64_t FRecNo = 0;
  std::map<int, std::function<void(TDataSet*)>> FDestroyListeners;
  int FNextListenerId = 1;
};

// Date-time values: days since 1899-12-30, the fraction is the time of day.
double EncodeDate(int year, int month, int day);
double EncodeDateTime(int year, int month, int day, int hour, int minute, double second);
void DecodeDate(double dt, int& year, int& month, int& day);
void DecodeTime(double dt, int& hour, int& minute, int& second, int& msec);
//! "yyyy-mm-dd", "hh:nn:ss" or "yyyy-mm-dd hh:nn:ss" by field type.
std::string DateTimeToText(double dt, TFieldType type);
//! Parses "yyyy-mm-dd", "yyyy/m/d", with an optional " hh:nn[:ss[.fff]]" or "Thh:nn…".
bool TextToDateTime(std::string_view text, double& dt);
//! Parses a text that is one finite decimal number ("12.5", "-3", "3e2", blanks
//! around it allowed); a blank text is 0, as a null is. False, with `value` 0,
//! for anything else ("abc", "12,5").
bool TextToNumber(std::string_view text, double& value);

}  // namespace qd
