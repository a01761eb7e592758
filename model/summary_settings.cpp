#include "model/summary_settings.h"

#include <algorithm>

#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"

namespace qd {

const std::string& SubFunctionDisplayName(int subFunction) {
  static constexpr TMsg kNames[kSubFunctionCount] = {
      TMsg::SSubFunctionValue,        TMsg::SSubFunctionRankByRow,    TMsg::SSubFunctionRankByCol,
      TMsg::SSubFunctionPercentByRow, TMsg::SSubFunctionPercentByCol, TMsg::SSubFunctionPrevByRow,
      TMsg::SSubFunctionPrevByCol,    TMsg::SSubFunctionCumulByRow,   TMsg::SSubFunctionCumulByCol};
  return Msg(kNames[std::clamp(subFunction, 0, kSubFunctionCount - 1)]);
}

bool TFunctionInfo::Visible() const {
  return std::any_of(SubFunctions.begin(), SubFunctions.end(),
                     [](const TSubFunctionInfo& s) { return s.Visible; });
}

void TFunctionInfo::SetVisible(bool value) {
  if (value) {
    SubFunctions[0].Visible = true;
  } else {
    for (auto& s : SubFunctions) s.Visible = false;
  }
}

void TSummaryInfo::SetFormula(const std::string& value) {
  std::string t(Trim(value));
  if (t != FFormula) FFormula = std::move(t);
}

bool TSummaryInfo::Visible() const {
  return std::any_of(Functions.begin(), Functions.end(),
                     [](const TFunctionInfo& f) { return f.Visible(); });
}

void TSummaryInfo::SetVisible(bool value) {
  if (value) {
    Functions[static_cast<int>(TFunction::stSum)].SetVisible(true);
  } else {
    for (auto& f : Functions) f.SetVisible(false);
  }
}

void TSummaryInfo::ApplyDefaultFormats() {
  for (int f = 0; f < kFunctionCount; ++f) {
    for (int s = 0; s < kSubFunctionCount; ++s) {
      auto& sub = Function(f).SubFunction(s);
      if (s == 3 || s == 4)
        sub.FormatString = "0.0\"%\"";
      else if (f == static_cast<int>(TFunction::stCount) || s == 1 || s == 2)
        sub.FormatString = "0";
      else
        sub.FormatString = "0.00";
      sub.Visible = (f == 0 && s == 0);
    }
  }
}

void TSummaryInfo::Assign(const TSummaryInfo& other) {
  if (this == &other) return;
  DisplayName = other.DisplayName;
  FieldName = other.FieldName;
  FFormula = other.FFormula;
  DimensionMapIndex = other.DimensionMapIndex;
  Functions = other.Functions;
  Owner = other.Owner;
  State = other.State;
  Id = other.Id;
  ParsedFormula = other.ParsedFormula;
}

int TSummarySettings::IndexOf(const TSummaryInfo* item) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == item) return static_cast<int>(i);
  return -1;
}

TSummaryInfo& TSummarySettings::Add() {
  FItems.push_back(std::make_unique<TSummaryInfo>());
  FItems.back()->Owner = FOwner;
  return *FItems.back();
}

void TSummarySettings::Delete(int i) {
  FItems.erase(FItems.begin() + i);
}

TSummaryInfo* TSummarySettings::FindByFieldName(const std::string& name) const {
  for (const auto& item : FItems)
    if (SameText(item->FieldName, name)) return item.get();
  return nullptr;
}

TSummaryInfo* TSummarySettings::FindById(int id) const {
  for (const auto& item : FItems)
    if (item->Id == id) return item.get();
  return nullptr;
}

void TSummarySettings::Assign(const TSummarySettings& source) {
  if (this == &source) return;
  if (Count() != source.Count()) {
    Clear();
    for (int i = 0; i < source.Count(); ++i) Add();
  }
  for (int i = 0; i < Count(); ++i) {
    TSummaryInfo& dst = Items(i);
    const TSummaryInfo& src = source.Items(i);
    dst.SetFormula(src.Formula());
    dst.FieldName = src.FieldName;
    dst.DisplayName = src.DisplayName;
    dst.State = src.State;
    dst.Id = src.Id;
    dst.ParsedFormula = src.ParsedFormula;
    dst.DimensionMapIndex = src.DimensionMapIndex;
    dst.Owner = src.Owner;
    for (int f = 0; f < kFunctionCount; ++f)
      for (int s = 0; s < kSubFunctionCount; ++s) {
        dst.Function(f).SubFunction(s).Visible = src.Function(f).SubFunction(s).Visible;
        dst.Function(f).SubFunction(s).FormatString = src.Function(f).SubFunction(s).FormatString;
      }
  }
}

bool TSummarySettings::MergeInto(TSummarySettings& target) const {
  bool changed = false;
  for (const auto& src : FItems) {
    if (src->Id == kNoIndex) {
      target.Add().Assign(*src);
      // The new item belongs to the target's model, not to the copy's.
      target.FItems.back()->Owner = target.FOwner;
      changed = true;
    } else if (TSummaryInfo* dst = target.FindById(src->Id)) {
      TGridInfo* owner = dst->Owner;
      dst->Assign(*src);
      dst->Owner = owner;
    } else {
      changed = true;
    }
  }
  for (int i = target.Count() - 1; i >= 0; --i) {
    const int id = target.Items(i).Id;
    if (id == kNoIndex) continue;
    const bool kept =
        std::any_of(FItems.begin(), FItems.end(), [id](const auto& src) { return src->Id == id; });
    if (!kept) {
      target.Delete(i);
      changed = true;
    }
  }
  if (changed) target.Renumber();
  return changed;
}

void TSummarySettings::Renumber() {
  for (std::size_t i = 0; i < FItems.size(); ++i) FItems[i]->Id = static_cast<int>(i);
}

void TSummarySettings::SyncWithDimensionMap(const std::vector<TSummarySource>& entries) {
  for (const auto& e : entries) {
    TSummaryInfo* item = FindByFieldName(e.FieldName);
    if (item) {
      item->DisplayName = e.DisplayName;
      item->State = nullptr;
    } else {
      item = &Add();
      item->FieldName = e.FieldName;
      item->DisplayName = e.DisplayName;
      item->ApplyDefaultFormats();
    }
    item->DimensionMapIndex = e.MapIndex;
  }
  for (int i = Count() - 1; i >= 0; --i) {
    const TSummaryInfo& item = Items(i);
    if (item.IsCalculated()) continue;
    const bool inMap = std::any_of(entries.begin(), entries.end(), [&](const TSummarySource& e) {
      return SameText(e.FieldName, item.FieldName);
    });
    if (!inMap) Delete(i);
  }
  Renumber();
  for (auto& item : FItems) item->Owner = FOwner;
}

void TSummarySettings::RebuildFromSummaries(const TSummaries& summaries) {
  Clear();
  for (const auto& s : summaries) {
    TSummaryInfo& item = Add();
    item.FieldName = s->BaseFieldName;
    item.DisplayName = s->DisplayName;
    item.ApplyDefaultFormats();
    item.DimensionMapIndex = s->MapIndex;
  }
  Renumber();
}

}  // namespace qd
