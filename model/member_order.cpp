#include "model/member_order.h"

#include <numeric>

#include "engine/core/locale_text.h"
#include "model/dimension_state.h"

namespace qd {

namespace {

int Sign(int v) {
  return v < 0 ? -1 : v > 0 ? 1 : 0;
}

bool ValidNode(const TDimensionState& state, int node) {
  return node >= 0 && node < state.NodeCount();
}

}  // namespace

int CompareCaptionText(std::string_view a, std::string_view b) {
  return CompareLocaleText(a, b);
}

int CompareCaptions(const TDimensionState& state, int a, int b) {
  return Sign(CompareCaptionText(GetMemberCaption(state, a), GetMemberCaption(state, b)));
}

int CompareMonthNames(const TDimensionState& state, int a, int b) {
  const int ma = LongMonthNumber(GetMemberCaption(state, a));
  const int mb = LongMonthNumber(GetMemberCaption(state, b));
  return ma == mb ? 0 : ma < mb ? -1 : 1;
}

std::string GetFieldName(const TDimensionState& state) {
  return state.Dimension() ? state.Dimension()->BaseFieldName : std::string();
}

std::string GetMemberCaption(const TDimensionState& state, int node) {
  return ValidNode(state, node) ? state.Node(node).Caption : std::string();
}

void TDimensionState::SortMembers(const TCompare& custom) {
  std::iota(FSortedOrder.begin(), FSortedOrder.end(), 0);
  switch (SortType) {
    case TDimSortType::dsDatabase:
      StableSortBy(FSortedOrder, [this](int a, int b) {
        return Node(a).DatabaseSortKey < Node(b).DatabaseSortKey;
      });
      break;
    case TDimSortType::dsNameAsc:
    case TDimSortType::dsNameDesc: {
      const bool desc = SortType == TDimSortType::dsNameDesc;
      StableSortBy(FSortedOrder, [this, desc](int a, int b) {
        const int c = CompareCaptionText(Node(a).Caption, Node(b).Caption);
        return desc ? c > 0 : c < 0;
      });
      break;
    }
    case TDimSortType::dsCustom:
      if (custom) StableSortBy(FSortedOrder, [&](int a, int b) { return custom(*this, a, b) < 0; });
      break;
  }
  for (std::size_t i = 0; i < FSortedOrder.size(); ++i)
    FPositions[static_cast<std::size_t>(FSortedOrder[i])] = static_cast<int>(i);
}

}  // namespace qd
