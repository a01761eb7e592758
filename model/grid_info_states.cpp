// Capturing the grid's layout as a pivot state and laying a pivot state out.
#include <algorithm>
#include <functional>
#include <unordered_map>

#include "engine/cube/dim_map.h"
#include "model/grid_info.h"

namespace qd {
namespace {

// ---- Capture ----

void Identify(const TDimension& d, bool byText, const TDimMember& m, TSaveMember& out) {
  const std::size_t id = static_cast<std::size_t>(m.Id);
  if (byText) {
    out.TextKey = id < d.TextKeys.size() ? d.TextKeys[id] : std::string();
  } else {
    out.MemberKey = id < d.MemberKeys.size() ? d.MemberKeys[id] : m.Id;
  }
}

TSaveMembers SaveMembers(const TDimensionState& st) {
  TSaveMembers saved;
  const TDimension* d = st.Dimension();
  if (!d) return saved;
  saved.IdentifiedByText = d->TextKey && !d->TextKeys.empty();
  for (std::size_t g = 0; g < st.Groups.size(); ++g) {
    TSaveMember& h = saved.Items.emplace_back();
    h.IsGroupHeader = true;
    h.GroupCaption = st.Groups[g]->Caption;
    h.GroupIndex = static_cast<std::int32_t>(g);
  }
  // Members inside groups, with the index of the group they are in.
  int groups = 0;
  std::function<void(const TDimMembers&)> walkGroups = [&](const TDimMembers& list) {
    for (const auto& m : list) {
      if (m->Group) ++groups;
      if (!m->Group && m->Children.empty()) {
        TSaveMember& e = saved.Items.emplace_back();
        e.InGroup = true;
        e.GroupIndex = groups - 1;
        e.Hidden = !m->Visible;
        Identify(*d, saved.IdentifiedByText, *m, e);
      }
      walkGroups(m->Children);
    }
  };
  walkGroups(st.Groups);
  std::function<void(const TDimMembers&)> walkHidden = [&](const TDimMembers& list) {
    for (const auto& m : list) {
      if (m->Children.empty() && !m->Visible && !m->Group) {
        TSaveMember& e = saved.Items.emplace_back();
        e.Hidden = true;
        Identify(*d, saved.IdentifiedByText, *m, e);
      }
      walkHidden(m->Children);
    }
  };
  walkHidden(st.Members);
  return saved;
}

TStreamedSummarySettings SaveSummaries(const TSummarySettings& settings) {
  TStreamedSummarySettings out;
  for (int i = 0; i < settings.Count(); ++i) {
    const TSummaryInfo& info = settings.Items(i);
    TStreamedSumInfo& s = out.Items.emplace_back();
    s.Calculated = info.IsCalculated();
    if (s.Calculated)
      s.Formula = info.Formula();
    else
      s.FieldName = info.FieldName;
    s.DisplayName = info.DisplayName;
    for (int f = 0; f < kFunctionCount; ++f) {
      TStreamedFunction& sf = s.Functions.emplace_back();
      for (int k = 0; k < kSubFunctionCount; ++k) {
        const TSubFunctionInfo& sub = info.Function(f).SubFunction(k);
        TStreamedSubFunction& out = sf.SubFunctions.emplace_back();
        out.Visible = sub.Visible;
        out.FormatString = sub.FormatString;
        out.Alignment = static_cast<std::uint8_t>(sub.Alignment);
      }
    }
  }
  return out;
}

// ---- Apply ----

// Moves a member-tree node into a group and forgets, in `byId`, the nodes that
// left the member tree with it: its subtree, and the ancestors it left empty.
void MoveIntoGroup(TDimensionState& st, TDimMember& member, int group,
                   std::vector<TDimMember*>& byId) {
  std::vector<int> subtree, ancestors;
  std::function<void(const TDimMember&)> collect = [&](const TDimMember& m) {
    subtree.push_back(m.Id);
    for (const auto& c : m.Children) collect(*c);
  };
  collect(member);
  for (const TDimMember* p = member.Parent; p; p = p->Parent) ancestors.push_back(p->Id);
  if (!st.MoveToGroup(member, group)) return;
  auto slot = [&](int id) -> TDimMember** {
    return id >= 0 && static_cast<std::size_t>(id) < byId.size()
               ? &byId[static_cast<std::size_t>(id)]
               : nullptr;
  };
  for (int id : subtree)
    if (TDimMember** p = slot(id)) *p = nullptr;
  for (int id : ancestors)
    if (TDimMember** p = slot(id)) *p = st.FindMember(id);
}

void ApplySavedMembers(TDimensionState& st, const TSaveMembers& saved) {
  const TDimension& d = *st.Dimension();
  std::vector<TDimMember*> byId(static_cast<std::size_t>(std::max(0, d.MemberCount())), nullptr);
  std::function<void(const TDimMembers&)> index = [&](const TDimMembers& list) {
    for (const auto& m : list) {
      if (!m->Group && m->Id >= 0 && static_cast<std::size_t>(m->Id) < byId.size())
        byId[static_cast<std::size_t>(m->Id)] = m.get();
      index(m->Children);
    }
  };
  index(st.Members);
  // Keys are looked up exactly first; the dimension's own search (without
  // regard to case for text) only for what that misses.
  std::unordered_map<std::string, int> byText;
  std::unordered_map<std::int32_t, int> byKey;
  if (saved.IdentifiedByText)
    for (std::size_t m = 0; m < d.TextKeys.size(); ++m)
      byText.emplace(d.TextKeys[m], static_cast<int>(m));
  else
    for (std::size_t m = 0; m < d.MemberKeys.size(); ++m)
      byKey.emplace(d.MemberKeys[m], static_cast<int>(m));
  auto find = [&](const TSaveMember& e) {
    if (saved.IdentifiedByText) {
      const auto it = byText.find(e.TextKey);
      return it != byText.end() ? it->second : d.FindMemberByText(e.TextKey);
    }
    const auto it = byKey.find(e.MemberKey);
    return it != byKey.end() ? it->second : -1;
  };
  for (const TSaveMember& e : saved.Items) {
    if (e.IsGroupHeader) {
      if (e.GroupIndex == 0) {
        st.Groups[0]->Caption = e.GroupCaption;
      } else {
        st.AddGroup(e.GroupCaption);
      }
      continue;
    }
    const int member = find(e);
    if (member < 0 || static_cast<std::size_t>(member) >= byId.size()) continue;
    TDimMember* node = byId[static_cast<std::size_t>(member)];
    if (!node) continue;
    node->Visible = !e.Hidden;
    if (e.InGroup) MoveIntoGroup(st, *node, e.GroupIndex, byId);
  }
}

void ApplySummaries(TSummarySettings& settings, const TStreamedSummarySettings& saved) {
  for (int i = settings.Count() - 1; i >= 0; --i)
    if (settings.Items(i).IsCalculated()) settings.Delete(i);
  for (const TStreamedSumInfo& s : saved.Items) {
    TSummaryInfo* item = nullptr;
    if (s.Calculated) {
      item = &settings.Add();
      item->FieldName = s.DisplayName;
      item->SetFormula(s.Formula);
      item->ParsedFormula.reset();
    } else {
      item = settings.FindByFieldName(s.FieldName);
      if (!item) continue;
    }
    item->DisplayName = s.DisplayName;
    const std::size_t functions = std::min<std::size_t>(s.Functions.size(), kFunctionCount);
    for (std::size_t f = 0; f < functions; ++f) {
      const auto& subs = s.Functions[f].SubFunctions;
      const std::size_t n = std::min<std::size_t>(subs.size(), kSubFunctionCount);
      for (std::size_t k = 0; k < n; ++k) {
        TSubFunctionInfo& sub =
            item->Function(static_cast<int>(f)).SubFunction(static_cast<int>(k));
        sub.Visible = subs[k].Visible;
        sub.FormatString = subs[k].FormatString;
        if (subs[k].Alignment <= static_cast<std::uint8_t>(TAlignment::taCenter))
          sub.Alignment = static_cast<TAlignment>(subs[k].Alignment);
      }
    }
  }
  settings.Renumber();
}

}  // namespace

void ApplySavedDimState(TDimensionState& st, const TStreamedDimState& s) {
  st.Multiplier = static_cast<std::uint64_t>(s.Multiplier);
  st.Attribute = s.Attribute;
  st.DisplayName = s.DisplayName;
  // Ordinals the program does not know keep the current setting.
  if (s.Group <= static_cast<std::uint8_t>(TDimGroup::dgNone))
    st.Group = static_cast<TDimGroup>(s.Group);
  if (s.SortType <= static_cast<std::uint8_t>(TDimSortType::dsCustom))
    st.SortType = static_cast<TDimSortType>(s.SortType);
  if (s.TotalAppearance <= static_cast<std::uint8_t>(TTotalAppearance::taInvisible))
    st.TotalAppearance = static_cast<TTotalAppearance>(s.TotalAppearance);
  st.BuildMembers();
  st.InitGroups();
  ApplySavedMembers(st, s.Members);
  st.BuildNodeTables(true);
}

TPivotState TGridInfo::CaptureState() const {
  TPivotState s;
  if (!IsActive()) return s;
  for (int d : RowDims()) s.RowDims.push_back(GetDimName(d));
  for (int d : ColDims()) s.ColDims.push_back(GetDimName(d));
  for (const auto& st : FStates) {
    TStreamedDimState& ds = s.DimStates.emplace_back();
    ds.FieldName = st->Dimension() ? st->Dimension()->BaseFieldName : std::string();
    ds.DisplayName = st->DisplayName;
    ds.SortType = static_cast<std::uint8_t>(st->SortType);
    ds.Group = static_cast<std::uint8_t>(st->Group);
    ds.Multiplier = static_cast<std::int64_t>(st->Multiplier);
    ds.TotalAppearance = static_cast<std::uint8_t>(st->TotalAppearance);
    ds.Attribute = st->Attribute;
    ds.Members = SaveMembers(*st);
  }
  s.Summaries = SaveSummaries(FSummarySettings);
  s.RowExpansion = FTrees.SaveExpansion(0);
  s.ColExpansion = FTrees.SaveExpansion(1);
  return s;
}

void TGridInfo::ApplyState(const TPivotState& state) {
  if (!IsActive()) return;
  auto find = [this](const std::string& name) {
    for (int d = 0; d < DimensionStateCount(); ++d)
      if (SameText(GetDimName(d), name)) return d;
    return -1;
  };
  std::vector<char> placed(static_cast<std::size_t>(DimensionStateCount()), 0);
  std::vector<int> axes[3];
  for (int a = 0; a < 2; ++a)
    for (const std::string& name : a == 0 ? state.RowDims : state.ColDims) {
      const int d = find(name);
      if (d < 0 || placed[static_cast<std::size_t>(d)]) continue;
      placed[static_cast<std::size_t>(d)] = 1;
      axes[a].push_back(d);
    }
  // A layout the aggregation cannot hold is refused before anything changes.
  std::vector<int> active = axes[0];
  active.insert(active.end(), axes[1].begin(), axes[1].end());
  FAggregation.CheckCapacity(active);

  BeginUpdate();
  auto finish = [this] {
    FAggregation.ResetSummaries();
    for (auto& st : FStates) st->UpdateFilterActive();
    FAggregation.DropActive();
  };
  try {
    for (const TStreamedDimState& s : state.DimStates) {
      const int d = find(s.FieldName);
      if (d < 0) continue;
      ApplySavedDimState(DimensionState(d), s);
    }
    // Every dimension on neither rows nor columns lies on the page axis.
    for (int d = 0; d < DimensionStateCount(); ++d)
      if (!placed[static_cast<std::size_t>(d)]) axes[2].push_back(d);
    for (int a = 0; a < 3; ++a) {
      for (int d : axes[a]) DimensionState(d).Group = static_cast<TDimGroup>(a);
      FAxes[a] = axes[a];
    }
    if (!state.Summaries.Items.empty()) ApplySummaries(FSummarySettings, state.Summaries);
    // The trees are rebuilt from scratch and take the saved expansion.
    FTrees.Restart(state.RowExpansion, state.ColExpansion);
    FDataColumns.clear();
    FSubLevels.clear();
  } catch (...) {
    finish();
    EndUpdate(TChangeKind::ckStateApplied);
    throw;
  }
  finish();
  EndUpdate(TChangeKind::ckStateApplied);
}

}  // namespace qd
