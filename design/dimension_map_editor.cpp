#include "design/dimension_map_editor.h"

#include <charconv>
#include <exception>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"
#include "engine/cube/vantra.h"
#include "engine/data/dataset.h"

namespace qd {

namespace {

using enum TMapRoot;

constexpr TMapImage kRootImages[kMapRootCount] = {TMapImage::miRows,      TMapImage::miCols,
                                                  TMapImage::miPages,     TMapImage::miSummaries,
                                                  TMapImage::miKey,       TMapImage::miFacts};
constexpr TMsg kRootTexts[kMapRootCount] = {TMsg::SMapRootRows,      TMsg::SMapRootCols,
                                            TMsg::SMapRootPages,     TMsg::SMapRootSummaries,
                                            TMsg::SMapRootKeys,      TMsg::SMapRootFacts};

std::unique_ptr<TMapNode> MakeNode(std::string text, TMapImage image,
                                   std::unique_ptr<TNodeData> data = nullptr) {
  auto node = std::make_unique<TMapNode>();
  node->Text = std::move(text);
  node->Image = image;
  node->Data = std::move(data);
  return node;
}

std::unique_ptr<TMapNode> FieldNode(std::unique_ptr<TFieldData> data, TMapImage image) {
  std::string text = FieldNodeText(*data);
  return MakeNode(std::move(text), image, std::move(data));
}

TDimGroup AxisGroup(TMapRoot r) {
  return r == mrRows ? TDimGroup::dgRow : r == mrCols ? TDimGroup::dgCol : TDimGroup::dgPage;
}

bool IsCompositeNode(const TMapNode* node) {
  return node && node->Field() && node->Field()->Composite;
}

// The numeric, text and date kinds of a field type.
int FieldKind(TFieldType t) {
  if (IsIntegerFieldType(t) || IsRealFieldType(t)) return 1;
  if (IsTextFieldType(t)) return 2;
  if (IsDateTimeFieldType(t)) return 3;
  return 0;
}

// A placed item whose field the query returns with another type of the same
// kind (a sum declared as BCD that SQLite reports as a float, an integer as a
// large integer) is the same field: it takes the query's type, so that bringing
// the map in line with the query keeps it in place instead of dropping it.
void AdoptQueryFieldKinds(TCustomVantra& cube) {
  const TSourceFields& fields = cube.SourceFields();
  TDimSums& map = cube.DimensionMap();
  for (int i = 0; i < map.Count(); ++i) {
    TDimSum& item = map[i];
    if (item.Composite || item.DimSumType == TDimSumType::dsUnknown) continue;
    if (fields.IndexOf(item.BaseFieldName, item.BaseFieldType) >= 0) continue;
    for (int f = 0; f < fields.Count(); ++f) {
      const TSourceField& field = fields.Items(f);
      if (SameText(field.FieldName, item.BaseFieldName) && FieldKind(field.DataType) != 0 &&
          FieldKind(field.DataType) == FieldKind(item.BaseFieldType)) {
        item.BaseFieldType = field.DataType;
        break;
      }
    }
  }
}

}  // namespace

TDimensionMapEditor::TDimensionMapEditor() = default;
TDimensionMapEditor::~TDimensionMapEditor() = default;

bool TDimensionMapEditor::Prepare(IDesigner* designer, TCustomVantra& cube) {
  FCube = &cube;
  FDesigner = designer;
  if (!cube.DataSet()) throw ECubeDesignError(Msg(TMsg::SMapNoDataSource));
  for (auto& root : FRoots) root.reset();
  FCurrent = FSelected = nullptr;
  if (!cube.ReadSourceFields()) return false;
  AdoptQueryFieldKinds(cube);
  if (!cube.RefreshDimensionMap()) return false;
  if (FDesigner) FDesigner->ListDataSets([this](const std::string& name) { AddDataSetName(name); });
  BuildTree();
  return true;
}

void TDimensionMapEditor::AddDataSetName(const std::string& name) {
  FDataSetNames.push_back(name);
}

void TDimensionMapEditor::BuildTree() {
  for (int r = 0; r < kMapRootCount; ++r)
    FRoots[static_cast<std::size_t>(r)] = MakeNode(Msg(kRootTexts[r]), kRootImages[r]);
  const TDimSums& map = FCube->DimensionMap();
  for (int i = 0; i < map.Count(); ++i) {
    const TDimSum& item = map[i];
    const bool compositeDim = item.Composite && item.DimSumType == TDimSumType::dsDimension;
    if (!compositeDim && !FindByField(Root(mrFacts), item.BaseFieldName)) {
      auto data = std::make_unique<TFieldData>(item);
      data->DimSumType = TDimSumType::dsUnknown;
      Root(mrFacts).Append(FieldNode(std::move(data), TMapImage::miFacts));
    }
    TMapRoot root;
    if (item.DimSumType == TDimSumType::dsDimension)
      root = item.DimGroup == TDimGroup::dgRow   ? mrRows
             : item.DimGroup == TDimGroup::dgCol ? mrCols
                                                 : mrPages;
    else if (item.DimSumType == TDimSumType::dsSummary)
      root = mrSummaries;
    else
      continue;
    TMapNode& node = Root(root).Append(
        FieldNode(std::make_unique<TFieldData>(item),
                  compositeDim ? TMapImage::miComposite : kRootImages[static_cast<int>(root)]));
    if (!compositeDim) continue;
    for (int p = 0; p < item.DimCollection().Count(); ++p) {
      const TDimCollectionItem& part = item.DimCollection().Items(p);
      node.Append(MakeNode(part.FieldName, TMapImage::miPart,
                           std::make_unique<TDimComponentData>(part)));
    }
  }
  for (const std::string& key : SplitNames(FCube->KeyFields, TEmptyName::enStop))
    Root(mrKeys).Append(MakeNode(key, TMapImage::miKey));
  Root(mrFacts).Walk([](TMapNode& n) { n.Expanded = false; });
}

TMapRoot TDimensionMapEditor::RootOf(TMapNode& node) const {
  TMapNode* root = &node.Root();
  for (int r = 0; r < kMapRootCount; ++r)
    if (FRoots[static_cast<std::size_t>(r)].get() == root) return static_cast<TMapRoot>(r);
  throw std::logic_error("node outside the editor's tree");
}

bool TDimensionMapEditor::InAxis(TMapNode& node) const {
  const TMapRoot r = RootOf(node);
  return r == mrRows || r == mrCols || r == mrPages;
}

std::vector<TMapNode*> TDimensionMapEditor::Nodes() const {
  std::vector<TMapNode*> out;
  for (const auto& root : FRoots)
    if (root) root->Walk([&](TMapNode& n) { out.push_back(&n); });
  return out;
}

TMapNode* TDimensionMapEditor::FindByField(TMapNode& root, const std::string& name) const {
  for (int i = 0; i < root.Count(); ++i)
    if (TFieldData* f = root.Child(i).Field(); f && SameText(f->BaseFieldName, name))
      return &root.Child(i);
  return nullptr;
}

// ---- Selection and the panel ----

void TDimensionMapEditor::Select(TMapNode* node) {
  FSelected = node;
  if (node == FCurrent) return;
  std::exception_ptr failure;
  try {
    TakeOver(FCurrent);
  } catch (...) {
    failure = std::current_exception();
  }
  FCurrent = node;
  ShowPanel(node);
  if (failure) std::rethrow_exception(failure);
}

std::string TDimensionMapEditor::HeaderText(const TMapNode* node) {
  if (!node || !node->Data) return {};
  if (node->Part()) return "Composite dimension component";
  const TFieldData& f = *node->Field();
  switch (f.DimSumType) {
    case TDimSumType::dsDimension: return f.Composite ? "Composite dimension" : "Dimension";
    case TDimSumType::dsSummary: return f.Composite ? "Statistical correlation" : "Summary";
    default: return "Fact table field";
  }
}

void TDimensionMapEditor::ShowPanel(TMapNode* node) {
  auto nameOf = [this](const TDataSet* ds) {
    std::string name = ds && FDesigner ? FDesigner->DataSetName(ds) : std::string();
    for (const std::string& n : FDataSetNames)
      if (n == name) return name;
    return std::string();
  };
  FPanel = TPropPanel::ppNone;
  if (TDimComponentData* part = node ? node->Part() : nullptr) {
    FPanel = TPropPanel::ppPart;
    PartPanel = {nameOf(part->LookupDataSet), part->ID_Field, part->Name_Field, part->FormatString};
    return;
  }
  TFieldData* f = node ? node->Field() : nullptr;
  if (!f || f->DimSumType != TDimSumType::dsDimension) return;
  FPanel = TPropPanel::ppDimension;
  TDimensionPanel& p = DimPanel;
  p.TotalIndex = f->TotalAppearance == TTotalAppearance::taFirst       ? 0
                 : f->TotalAppearance == TTotalAppearance::taInvisible ? 2
                                                                       : 1;
  p.SortIndex = static_cast<int>(f->SortType);
  p.Numeric = IsRangeFieldType(f->BaseFieldType);
  p.Transform = p.Numeric && f->EnableTransformation;
  if (p.Transform) {
    p.MemberCount = std::to_string(f->SeriesMemberCount);
    p.EqualDensity = f->TransformMethod != TTransformMethod::tmEqualRange;
    DataSetChanged({});
    return;
  }
  DataSetChanged(nameOf(f->LookupDataSet));
  p.IDField = f->ID_Field;
  p.ParentIDField = f->ParentID_Field;
  p.DefaultAttribute = f->DefaultAttribute;
  SetAttributes(f->Attributes);
}

void TDimensionMapEditor::TakeOver(TMapNode* node) {
  if (!node) return;
  auto resolve = [this](const std::string& name) {
    return FDesigner && !name.empty() ? FDesigner->FindDataSet(name) : nullptr;
  };
  if (TDimComponentData* part = node->Part()) {
    part->LookupDataSet = resolve(PartPanel.DataSet);
    part->ID_Field = PartPanel.IDField;
    part->Name_Field = PartPanel.NameField;
    part->FormatString = PartPanel.FormatString;
    return;
  }
  TFieldData* f = node->Field();
  if (!f || f->DimSumType != TDimSumType::dsDimension) return;
  const TDimensionPanel& p = DimPanel;
  f->TotalAppearance = p.TotalIndex == 0   ? TTotalAppearance::taFirst
                       : p.TotalIndex == 2 ? TTotalAppearance::taInvisible
                                           : TTotalAppearance::taLast;
  f->SortType = static_cast<TDimSortType>(std::clamp(p.SortIndex, 0, 3));
  if (IsRangeFieldType(f->BaseFieldType) && p.Transform) {
    const int count = CheckMemberCount(p.MemberCount);
    f->EnableTransformation = true;
    f->SeriesMemberCount = count;
    f->TransformMethod =
        p.EqualDensity ? TTransformMethod::tmEqualDensity : TTransformMethod::tmEqualRange;
    return;
  }
  f->EnableTransformation = false;
  f->LookupDataSet = resolve(p.DataSet);
  f->ID_Field = p.IDField;
  f->ParentID_Field = p.ParentIDField;
  f->Attributes = p.Attributes;
  f->DefaultAttribute = p.DefaultAttribute;
}

int TDimensionMapEditor::CheckMemberCount(const std::string& text) {
  const std::string_view t = Trim(text);
  int value = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size())
    throw ECubeDesignError(Format(Msg(TMsg::SMapNotAnInteger), text));
  if (value < 1) throw ECubeDesignError(Msg(TMsg::SMapMemberCountInvalid));
  return value;
}

void TDimensionMapEditor::SetAttributes(const std::string& text) {
  DimPanel.Attributes = text;
  const std::string keep = DimPanel.DefaultAttribute;
  DimPanel.DefaultAttributes = SplitNames(text, TEmptyName::enStop);
  DimPanel.DefaultAttribute.clear();
  for (const std::string& a : DimPanel.DefaultAttributes)
    if (a == keep) DimPanel.DefaultAttribute = keep;
}

void TDimensionMapEditor::DataSetChanged(const std::string& name) {
  DimPanel.DataSet = name;
  LoadFields(name, IDFields, FLoadedDim);
}

void TDimensionMapEditor::PartDataSetChanged(const std::string& name) {
  PartPanel.DataSet = name;
  LoadFields(name, PartIDFields, FLoadedPart);
}

void TDimensionMapEditor::LoadFields(const std::string& text, std::vector<std::string>& into,
                                     std::string& loaded) {
  const std::string name(Trim(text));
  if (name.empty()) {
    DimPanel.IDField.clear();
    DimPanel.ParentIDField.clear();
    DimPanel.Attributes.clear();
    DimPanel.DefaultAttributes.clear();
    DimPanel.DefaultAttribute.clear();
    into.clear();
    loaded.clear();
    return;
  }
  // Each list remembers its own data set, so that one panel's load never
  // leaves the other panel's list holding another table's fields.
  if (name == loaded) return;
  loaded = name;
  TDataSet* ds = FDesigner ? FDesigner->FindDataSet(name) : nullptr;
  if (!ds) return;
  into.clear();
  const bool wasOpen = ds->Active();
  try {
    ds->Open();
  } catch (const std::exception& e) {
    throw ECubeDesignError(Msg(TMsg::SDataSourceOpenError) + e.what());
  }
  for (int i = 0; i < ds->FieldCount(); ++i) into.push_back(ds->Fields(i).FieldName());
  if (!wasOpen) ds->Close();
}

// ---- Tree commands ----

void TDimensionMapEditor::Forget(TMapNode& node) {
  bool current = false, selected = false;
  node.Walk([&](TMapNode& n) {
    current = current || &n == FCurrent;
    selected = selected || &n == FSelected;
  });
  // A removed node is never written: the panel's values for it are dropped.
  if (current) FCurrent = nullptr;
  if (selected) FSelected = nullptr;
  node.Detach();
}

void TDimensionMapEditor::RecomposeFields(TMapNode& composite) {
  TFieldData* f = composite.Field();
  if (!f) return;
  std::vector<std::string> names;
  for (int i = 0; i < composite.Count(); ++i) names.push_back(composite.Child(i).Text);
  f->ComposedFields = JoinNames(names);
  f->BaseFieldName = f->ComposedFields;
  composite.Text = FieldNodeText(*f);
}

bool TDimensionMapEditor::CanDrag(TMapNode* node) const {
  return node && (node->Data || node->Parent());
}

void TDimensionMapEditor::DragDrop(TMapNode* dragged, TMapNode* target) {
  if (!CanDrag(dragged) || !target || target == dragged) return;
  if (TFieldData* f = dragged->Field()) {
    if (f->Composite)
      DropComposite(dragged, target);
    else
      DropField(dragged, target);
  } else if (dragged->Part()) {
    TMapNode& owner = *dragged->Parent();
    DropSibling(dragged, target, owner);
    RecomposeFields(owner);
  } else if (RootOf(*dragged) == mrKeys) {
    DropSibling(dragged, target, Root(mrKeys));
  }
}

// A composite part or a key field: moved among its siblings, or removed.
void TDimensionMapEditor::DropSibling(TMapNode* dragged, TMapNode* target, TMapNode& owner) {
  if (target->Parent() == &owner) {
    owner.Insert(dragged->Detach(), target);
  } else if (target == &owner) {
    owner.Append(dragged->Detach());
  } else {
    Forget(*dragged);
    return;
  }
  Select(dragged);
}

void TDimensionMapEditor::DropField(TMapNode* dragged, TMapNode* target) {
  TFieldData& f = *dragged->Field();
  if (IsCompositeNode(target) || target->Part()) return AddAsPart(dragged, target);
  const TMapRoot r = RootOf(*target);
  if (r == mrKeys) return AddAsKey(dragged, target);
  TMapNode& root = Root(r);
  const bool isAxis = r == mrRows || r == mrCols || r == mrPages;
  if (f.DimSumType != TDimSumType::dsUnknown) {  // a placed dimension or summary
    if (r == mrFacts)
      if (TMapNode* same = FindByField(root, f.BaseFieldName)) {
        Forget(*dragged);
        return Select(same);
      }
    f.DimSumType = isAxis ? TDimSumType::dsDimension
                   : r == mrSummaries ? TDimSumType::dsSummary
                                      : TDimSumType::dsUnknown;
    if (isAxis) f.DimGroup = AxisGroup(r);
    dragged->Image = root.Image;
    Place(dragged->Detach(), target);
    return;
  }
  // A fact-table field: moved within its branch, or copied onto an axis or
  // among the summaries, at most once in each.
  if (r == mrFacts) {
    Place(dragged->Detach(), target);
    return;
  }
  TMapNode* same = nullptr;
  if (isAxis)
    for (TMapRoot a : {mrRows, mrCols, mrPages}) same = same ? same : FindByField(Root(a), f.BaseFieldName);
  else
    same = FindByField(root, f.BaseFieldName);
  if (same) return Select(same);
  auto copy = std::make_unique<TFieldData>(f);
  copy->DimSumType = isAxis ? TDimSumType::dsDimension : TDimSumType::dsSummary;
  if (isAxis) copy->DimGroup = AxisGroup(r);
  Place(FieldNode(std::move(copy), root.Image), target);
}

// Puts a node before the target, or last under the target when it is a root.
void TDimensionMapEditor::Place(std::unique_ptr<TMapNode> node, TMapNode* target) {
  TMapNode* placed;
  if (!target->Parent())
    placed = &target->Append(std::move(node));
  else
    placed = &target->Parent()->Insert(std::move(node), target);
  Select(placed);
}

void TDimensionMapEditor::DropComposite(TMapNode* dragged, TMapNode* target) {
  if (target->Part()) return;
  TFieldData& f = *dragged->Field();
  const TMapRoot r = RootOf(*target);
  if (f.DimSumType == TDimSumType::dsDimension) {
    if (!InAxis(*target)) return;
    f.DimGroup = AxisGroup(r);
  } else if (r != mrSummaries) {
    return;
  }
  Place(dragged->Detach(), target);
}

void TDimensionMapEditor::AddAsPart(TMapNode* dragged, TMapNode* target) {
  TMapNode& composite = IsCompositeNode(target) ? *target : *target->Parent();
  const std::string& name = dragged->Field()->BaseFieldName;
  for (int i = 0; i < composite.Count(); ++i)
    if (composite.Child(i).Text == name) return Select(&composite.Child(i));
  auto data = std::make_unique<TDimComponentData>();
  data->FieldName = name;
  auto node = MakeNode(name, TMapImage::miPart, std::move(data));
  TMapNode& part = composite.Insert(std::move(node), target == &composite ? nullptr : target);
  RecomposeFields(composite);
  Select(&part);
}

void TDimensionMapEditor::AddAsKey(TMapNode* dragged, TMapNode* target) {
  TMapNode& keys = Root(mrKeys);
  const std::string& name = dragged->Field()->BaseFieldName;
  for (int i = 0; i < keys.Count(); ++i)
    if (keys.Child(i).Text == name) return Select(&keys.Child(i));
  Select(&keys.Insert(MakeNode(name, TMapImage::miKey), target == &keys ? nullptr : target));
}

bool TDimensionMapEditor::CanDelete(TMapNode* node) const {
  return node && node->Parent() && node->Parent() != &Root(mrFacts);
}

void TDimensionMapEditor::Delete(TMapNode* node) {
  if (!CanDelete(node)) return;
  TMapNode* parent = node->Parent();
  Forget(*node);
  if (IsCompositeNode(parent)) RecomposeFields(*parent);
  Select(parent);
}

TMapNode* TDimensionMapEditor::NewComposite(TMapNode* node) {
  if (!node || !InAxis(*node)) return nullptr;
  const TMapRoot r = RootOf(*node);
  auto data = std::make_unique<TFieldData>();
  data->BaseFieldType = TFieldType::ftString;
  data->Composite = true;
  data->DimSumType = TDimSumType::dsDimension;
  data->DimGroup = AxisGroup(r);
  data->DisplayName = Msg(TMsg::SMapNewComposite);
  std::string text = data->DisplayName;
  TMapNode& added = Root(r).Append(MakeNode(std::move(text), TMapImage::miComposite, std::move(data)));
  Select(&added);
  return &added;
}

bool TDimensionMapEditor::CanRename(const TMapNode* node) const {
  return node && node->Field();
}

void TDimensionMapEditor::BeginRename(TMapNode* node) {
  if (CanRename(node)) node->Text = node->Field()->DisplayName;
}

void TDimensionMapEditor::EndRename(TMapNode* node, const std::string& text) {
  if (!CanRename(node)) return;
  if (!text.empty()) node->Field()->DisplayName = text;
  node->Text = FieldNodeText(*node->Field());
}

std::vector<TMapCommand> TDimensionMapEditor::ContextCommands(TMapNode* node) const {
  std::vector<TMapCommand> out;
  if (!node) return out;
  if (CanRename(node)) out.push_back(TMapCommand::mcRename);
  if (CanDelete(node)) out.push_back(TMapCommand::mcDelete);
  if (InAxis(*node)) out.push_back(TMapCommand::mcCreateComposite);
  return out;
}

// ---- Preview and accepting ----

TMapPreview TDimensionMapEditor::Preview(int maxRows) {
  if (!FCube || !FCube->DataSet()) throw ECubeDesignError(Msg(TMsg::SMapNoDataSource));
  TakeOver(FCurrent);
  std::vector<const TFieldData*> dims;
  std::vector<std::vector<std::string>> parts;
  for (TMapRoot r : {mrRows, mrCols, mrPages})
    for (int i = 0; i < Root(r).Count(); ++i) {
      TMapNode& node = Root(r).Child(i);
      if (!node.Field()) continue;
      dims.push_back(node.Field());
      std::vector<std::string> names;
      for (int p = 0; p < node.Count(); ++p)
        if (node.Child(p).Part()) names.push_back(node.Child(p).Part()->FieldName);
      parts.push_back(std::move(names));
    }
  return PreviewMap(*FCube->DataSet(), dims, parts, maxRows);
}


void TDimensionMapEditor::Accept() {
  if (!FCurrent || !FCube) return;
  TakeOver(FCurrent);
  TDimSums& map = FCube->DimensionMap();
  std::vector<std::string> keys;
  map.Clear();
  for (TMapNode* node : Nodes()) {
    if (node->Parent() == &Root(mrKeys)) {
      keys.push_back(node->Text);
      continue;
    }
    const TFieldData* f = node->Field();
    if (!f) continue;
    if (f->DimSumType == TDimSumType::dsUnknown && map.IndexOfField(f->BaseFieldName, f->BaseFieldType) >= 0)
      continue;
    TDimSum& item = map.Add();
    f->AssignTo(item);
    if (!f->IsCompositeDimension()) continue;
    for (int i = 0; i < node->Count(); ++i) {
      const TDimComponentData* p = node->Child(i).Part();
      if (!p) continue;
      TDimCollectionItem& part = item.DimCollection().Add();
      part.SetLookupDataSet(p->LookupDataSet);
      part.ID_Field = p->ID_Field;
      part.Name_Field = p->Name_Field;
      part.FormatString = p->FormatString;
      part.FieldName = p->FieldName;
    }
  }
  FCube->KeyFields = JoinNames(keys);
  FCube->UpdateKeyFieldTypes();
  FCube->NotifyGridModels(TCubeChange::ccMapEdited);
}

}  // namespace qd
