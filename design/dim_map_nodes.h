// The nodes of the dimension-map editor's tree and the copies of map items
// they carry. The editor works on these copies; the cube's map is written
// only when the user accepts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/cube/dim_map.h"

namespace qd {

enum class TNodeKind : std::uint8_t { nkField = 0, nkPart = 1 };

class TNodeData {
 public:
  explicit TNodeData(TNodeKind kind) : Kind(kind) {}
  virtual ~TNodeData() = default;
  const TNodeKind Kind;
};

class TLookupData : public TNodeData {
 public:
  using TNodeData::TNodeData;
  TDataSet* LookupDataSet = nullptr;
  std::string ID_Field;
};

//! A copy of one map item.
class TFieldData : public TLookupData {
 public:
  TFieldData() : TLookupData(TNodeKind::nkField) {}
  explicit TFieldData(const TDimSum& item);

  std::string BaseFieldName;
  TFieldType BaseFieldType = TFieldType::ftUnknown;
  std::string DisplayName;
  TDimSumType DimSumType = TDimSumType::dsUnknown;
  TDimGroup DimGroup = TDimGroup::dgRow;
  TTotalAppearance TotalAppearance = TTotalAppearance::taLast;
  std::string ParentID_Field;
  bool Composite = false;
  std::string ComposedFields;
  std::string Attributes;
  std::string DefaultAttribute;
  TDimSortType SortType = TDimSortType::dsDatabase;
  int SeriesMemberCount = 0;
  bool EnableTransformation = false;
  TTransformMethod TransformMethod = TTransformMethod::tmEqualDensity;

  //! Writes every property into a fresh map item (lookup and default
  //! attribute through the item's setters).
  void AssignTo(TDimSum& item) const;
  bool IsCompositeDimension() const {
    return Composite && DimSumType == TDimSumType::dsDimension;
  }
};

//! A copy of one composite part.
class TDimComponentData : public TLookupData {
 public:
  TDimComponentData() : TLookupData(TNodeKind::nkPart) {}
  explicit TDimComponentData(const TDimCollectionItem& part);
  std::string FieldName;
  std::string Name_Field;
  std::string FormatString;
};

//! Images of the editor's tree, by index.
enum class TMapImage : int {
  miRows = 0, miCols = 1, miPages = 2, miSummaries = 3, miFacts = 4,
  miPart = 5, miComposite = 6, miKey = 7, miNewComposite = 9
};

class TMapNode {
 public:
  std::string Text;
  TMapImage Image = TMapImage::miRows;
  std::unique_ptr<TNodeData> Data;
  bool Expanded = true;

  TMapNode* Parent() const { return FParent; }
  int Count() const { return static_cast<int>(FChildren.size()); }
  TMapNode& Child(int i) const { return *FChildren.at(static_cast<std::size_t>(i)); }
  int Index() const;
  //! The root this node lies under (itself for a root).
  TMapNode& Root();
  TFieldData* Field() const;
  TDimComponentData* Part() const;

  //! Inserts `node` before `before` (appends when before is nullptr).
  TMapNode& Insert(std::unique_ptr<TMapNode> node, const TMapNode* before = nullptr);
  TMapNode& Append(std::unique_ptr<TMapNode> node) { return Insert(std::move(node)); }
  //! Takes the node out of its parent; the caller owns it.
  std::unique_ptr<TMapNode> Detach();
  //! Visits this node, then its descendants, in tree order.
  template <typename F>
  void Walk(F&& visit) {
    visit(*this);
    for (auto& c : FChildren) c->Walk(visit);
  }

 private:
  TMapNode* FParent = nullptr;
  std::vector<std::unique_ptr<TMapNode>> FChildren;
};

//! "Unknown", "String", … "FMTBcdField" by field type ordinal.
const char* FieldTypeCaption(TFieldType t);
//! SmallInt, Integer, Word, Float, Currency, BCD, AutoInc and LargeInt.
bool IsRangeFieldType(TFieldType t);
//! `Amount {Field: "amnt"; Float}`.
std::string FieldNodeText(const TFieldData& f);

}  // namespace qd
