#include "design/dim_map_nodes.h"

#include <array>
#include <stdexcept>

namespace qd {

TFieldData::TFieldData(const TDimSum& item) : TLookupData(TNodeKind::nkField) {
  LookupDataSet = item.LookupDataSet();
  ID_Field = item.ID_Field;
  BaseFieldName = item.BaseFieldName;
  BaseFieldType = item.BaseFieldType;
  DisplayName = item.DisplayName;
  DimSumType = item.DimSumType;
  DimGroup = item.DimGroup;
  TotalAppearance = item.TotalAppearance;
  ParentID_Field = item.ParentID_Field;
  Composite = item.Composite;
  ComposedFields = item.ComposedFields;
  Attributes = item.Attributes;
  DefaultAttribute = item.DefaultAttribute();
  SortType = item.SortType;
  SeriesMemberCount = item.SeriesMemberCount;
  EnableTransformation = item.EnableTransformation;
  TransformMethod = item.TransformMethod;
}

void TFieldData::AssignTo(TDimSum& item) const {
  item.BaseFieldName = BaseFieldName;
  item.BaseFieldType = BaseFieldType;
  item.DisplayName = DisplayName;
  item.DimSumType = DimSumType;
  item.SetLookupDataSet(LookupDataSet);
  item.ID_Field = ID_Field;
  item.DimGroup = DimGroup;
  item.TotalAppearance = TotalAppearance;
  item.ParentID_Field = ParentID_Field;
  item.Composite = Composite;
  item.ComposedFields = ComposedFields;
  // The default attribute's setter puts it in front of the attributes when
  // they lack it; the attributes go first so that it sees the final list.
  item.Attributes = Attributes;
  item.SetDefaultAttribute(DefaultAttribute);
  item.SortType = SortType;
  item.SeriesMemberCount = SeriesMemberCount;
  item.EnableTransformation = EnableTransformation;
  item.TransformMethod = TransformMethod;
}

TDimComponentData::TDimComponentData(const TDimCollectionItem& part)
    : TLookupData(TNodeKind::nkPart) {
  LookupDataSet = part.LookupDataSet();
  ID_Field = part.ID_Field;
  FieldName = part.FieldName;
  Name_Field = part.Name_Field;
  FormatString = part.FormatString;
}

int TMapNode::Index() const {
  if (!FParent) return -1;
  for (int i = 0; i < FParent->Count(); ++i)
    if (&FParent->Child(i) == this) return i;
  return -1;
}

TMapNode& TMapNode::Root() {
  TMapNode* n = this;
  while (n->FParent) n = n->FParent;
  return *n;
}

TFieldData* TMapNode::Field() const {
  return Data && Data->Kind == TNodeKind::nkField ? static_cast<TFieldData*>(Data.get()) : nullptr;
}

TDimComponentData* TMapNode::Part() const {
  return Data && Data->Kind == TNodeKind::nkPart ? static_cast<TDimComponentData*>(Data.get())
                                                 : nullptr;
}

TMapNode& TMapNode::Insert(std::unique_ptr<TMapNode> node, const TMapNode* before) {
  auto at = FChildren.end();
  if (before)
    for (auto it = FChildren.begin(); it != FChildren.end(); ++it)
      if (it->get() == before) at = it;
  node->FParent = this;
  return **FChildren.insert(at, std::move(node));
}

std::unique_ptr<TMapNode> TMapNode::Detach() {
  if (!FParent) throw std::logic_error("a root cannot be detached");
  auto& siblings = FParent->FChildren;
  for (auto it = siblings.begin(); it != siblings.end(); ++it)
    if (it->get() == this) {
      std::unique_ptr<TMapNode> self = std::move(*it);
      siblings.erase(it);
      FParent = nullptr;
      return self;
    }
  throw std::logic_error("node not among its parent's children");
}

const char* FieldTypeCaption(TFieldType t) {
  static constexpr std::array<const char*, kFieldTypeCount> names = {
      "Unknown",    "String",    "SmallInt",   "Integer",  "Word",        "Boolean",
      "Float",      "Currency",  "BCD",        "Date",     "Time",        "DateTime",
      "Bytes",      "VarBytes",  "AutoInc",    "Blob",     "Memo",        "Graphic",
      "FmtMemo",    "ParadoxOle", "dBaseOle",  "TypedBinary", "Cursor",   "FixedChar",
      "WideString", "LargeInt",  "ADT",        "Array",    "Reference",   "DataSet",
      "HugeBlob",   "HugeClob",  "Variant",    "Interface", "Dispatch",   "Guid",
      "SQLTimeStamp", "FMTBcdField"};
  const auto i = static_cast<std::size_t>(t);
  return i < names.size() ? names[i] : names[0];
}

bool IsRangeFieldType(TFieldType t) {
  switch (t) {
    case TFieldType::ftSmallint: case TFieldType::ftInteger: case TFieldType::ftWord:
    case TFieldType::ftFloat: case TFieldType::ftCurrency: case TFieldType::ftBCD:
    case TFieldType::ftAutoInc: case TFieldType::ftLargeint:
      return true;
    default:
      return false;
  }
}

std::string FieldNodeText(const TFieldData& f) {
  return f.DisplayName + " {Field: \"" + f.BaseFieldName + "\"; " +
         FieldTypeCaption(f.BaseFieldType) + "}";
}

}  // namespace qd
