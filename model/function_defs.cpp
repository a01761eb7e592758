#include "model/function_defs.h"

#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {

const std::string& FunctionDisplayName(int function) {
  static constexpr TMsg kNames[kStandardFunctionCount] = {
      TMsg::SFunctionNameSum,      TMsg::SFunctionNameCount,      TMsg::SFunctionNameAverage,
      TMsg::SFunctionNameMin,      TMsg::SFunctionNameMax,        TMsg::SFunctionNameVariance,
      TMsg::SFunctionNameStdDev,   TMsg::SFunctionNameMeanAbsDev, TMsg::SFunctionNameSkewness,
      TMsg::SFunctionNameKurtosis, TMsg::SFunctionNameMedian};
  if (function >= 0 && function < kStandardFunctionCount) return Msg(kNames[function]);
  return Msg(TMsg::SFunctionNameCustom);
}

TFunctionDef::TFunctionDef(int index)
    : DisplayName(FunctionDisplayName(index)),
      UserAllowed(index < kStandardFunctionCount),
      FType(static_cast<TFunction>(index)) {}

void TFunctionDef::Assign(const TFunctionDef& other) {
  DisplayName = other.DisplayName;
  UserAllowed = other.UserAllowed;
}

TFunctionDef& TFunctionDefs::Add() {
  if (Count() >= kFunctionCount) throw EGenericError(Msg(TMsg::STooManyFunctionDefs));
  FItems.emplace_back(Count());
  return FItems.back();
}

void TFunctionDefs::Delete(int i) {
  if (i < kStandardFunctionCount || i >= Count()) return;
  std::vector<TFunctionDef> kept;
  for (int k = 0; k < Count(); ++k) {
    if (k == i) continue;
    kept.emplace_back(static_cast<int>(kept.size())).Assign(Items(k));
  }
  FItems = std::move(kept);
}

void TFunctionDefs::EnsureStandard() {
  while (Count() < kStandardFunctionCount) Add();
}

void TFunctionDefs::Assign(const TFunctionDefs& source) {
  if (this == &source) return;
  while (Count() > source.Count()) FItems.pop_back();
  for (int i = 0; i < source.Count(); ++i) {
    if (i >= Count()) Add();
    Items(i).Assign(source.Items(i));
  }
}

}  // namespace qd
