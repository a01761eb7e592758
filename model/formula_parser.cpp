#include "model/formula_parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

constexpr std::array<TFormulaFunction, 8> kFunctions = {{
    {"SIN", TFormulaOp::foSin, true, 0, false},
    {"COS", TFormulaOp::foCos, true, 0, false},
    {"EXP", TFormulaOp::foExp, true, 0, false},
    {"LOG", TFormulaOp::foLog, false, 0, true},
    {"CORR", TFormulaOp::foCorr, false, 0, true},
    {"ROUND", TFormulaOp::foRound, true, 1, true},
    {"POWER", TFormulaOp::foPower, false, 0, true},
    {"TRUNC", TFormulaOp::foTrunc, true, 1, true},
}};

// Comparison operators in the order they are tried.
constexpr std::array<std::u32string_view, 6> kComparisons = {U"#<#",  U"#>#",  U"#=#",
                                                             U"#<=#", U"#>=#", U"#<>#"};

constexpr TFormulaOp ComparisonOp(std::size_t index) {
  return static_cast<TFormulaOp>(static_cast<int>(TFormulaOp::foLess) + static_cast<int>(index));
}

struct TFunctionPattern {
  const TFormulaFunction* Function;
  std::u32string Pattern;  // NAME(#) or NAME(#,#)
};

// The call patterns of the function table in the order they are tried.
const std::vector<TFunctionPattern>& FunctionPatterns() {
  static const std::vector<TFunctionPattern> patterns = [] {
    std::vector<TFunctionPattern> list;
    for (const TFormulaFunction& function : kFunctions) {
      const std::u32string name(function.Name.begin(), function.Name.end());
      if (function.OneArgument) list.push_back({&function, name + U"(#)"});
      if (function.TwoArguments) list.push_back({&function, name + U"(#,#)"});
    }
    return list;
  }();
  return patterns;
}

char32_t FoldAscii(char32_t c) {
  return (c >= U'a' && c <= U'z') ? c - U'a' + U'A' : c;
}

bool IsDigit(char32_t c) {
  return c >= U'0' && c <= U'9';
}

bool IsLetter(char32_t c) {
  return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z');
}

std::string WithDetail(TMsg message, const std::string& detail) {
  return Msg(message) + ": " + detail;
}

// "%&" followed by at least two letters: aa, ab … zz, then baa, bab …
std::string TokenName(std::size_t index) {
  std::string letters;
  do {
    letters.insert(letters.begin(), static_cast<char>('a' + index % 26));
    index /= 26;
  } while (index > 0);
  if (letters.size() < 2) letters.insert(letters.begin(), 'a');
  return "%&" + letters;
}

}  // namespace

std::span<const TFormulaFunction> FormulaFunctions() {
  return kFunctions;
}

int FindFormulaSummary(const IFormulaSummaries& summaries, std::u32string_view name, int excluded) {
  const int count = summaries.SummaryCount();
  for (int i = 0; i < count; ++i) {
    if (i == excluded) continue;
    if (SameFormulaName(FormulaChars(summaries.SummaryDisplayName(i)), name)) return i;
  }
  return -1;
}

TFormulaParser::TFormulaParser(std::string_view formula, const IFormulaSummaries& summaries,
                               int calculatedSummary, const TFormulaOptions& options)
    : FSource(formula),
      FChars(FormulaChars(formula)),
      FSummaries(&summaries),
      FCalculatedSummary(calculatedSummary),
      FOptions(options) {
  BuildWorkText();
  ReplaceNumbers();
  ReplaceReferences();
  UpperCase();
  Reduce();
  CheckSingleToken();
  FSummaries = nullptr;
}

const TToken* TFormulaParser::FindToken(std::string_view name) const {
  const std::u32string wanted = FormulaChars(name);
  for (const TToken& token : FTokens) {
    if (SameFormulaName(FormulaChars(token.Name), wanted)) return &token;
  }
  return nullptr;
}

// Line breaks go everywhere, spaces outside double quotes.
void TFormulaParser::BuildWorkText() {
  bool quoted = false;
  for (std::size_t k = 0; k < FChars.size(); ++k) {
    const char32_t c = FChars[k];
    if (c == U'\r' || c == U'\n') continue;
    if (c == U'"') quoted = !quoted;
    if (!quoted && (c == U' ' || c == U'\t')) continue;
    const int at = static_cast<int>(k);
    FWork.push_back({c, -1, at, at});
  }
}

// Until Reduce, the working text is a plain array: items are rewritten into a new one.
void TFormulaParser::ReplaceNumbers() {
  std::vector<TWorkItem> out;
  out.reserve(FWork.size());
  const auto isOutChar = [&out](std::size_t fromEnd, char32_t c) {
    return out.size() >= fromEnd && out[out.size() - fromEnd].Token < 0 &&
           out[out.size() - fromEnd].Ch == c;
  };
  bool quoted = false;
  for (int i = 0; i < static_cast<int>(FWork.size());) {
    if (IsChar(i, U'"')) quoted = !quoted;
    if (quoted || !IsDigit(FWork[i].Ch)) {
      out.push_back(FWork[i++]);
      continue;
    }
    std::string text;
    int end = i;
    const auto takeDigits = [&] {
      while (end < static_cast<int>(FWork.size()) && IsDigit(FWork[end].Ch)) {
        text += static_cast<char>(FWork[end++].Ch);
      }
    };
    takeDigits();
    if (IsChar(end, FOptions.DecimalSeparator)) {
      text += '.';
      ++end;
      takeDigits();
    }
    // A minus directly before the number is its sign after "(" or at the very start.
    int first = FWork[i].SourceFirst;
    if (isOutChar(1, U'-') && (out.size() == 1 || isOutChar(2, U'('))) {
      first = out.back().SourceFirst;
      out.pop_back();
      text.insert(text.begin(), '-');
    }
    TToken number;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number.Value);
    if (result.ec == std::errc::result_out_of_range) {
      number.Value = text.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    const int last = FWork[end - 1].SourceLast;
    number.SourceLength = last - first + 1;
    out.push_back({0, AddToken(number), first, last});
    i = end;
  }
  FWork = std::move(out);
}

void TFormulaParser::ReplaceReferences() {
  const int size = static_cast<int>(FWork.size());
  const auto findQuote = [&](int from) {
    for (int k = from; k < size; ++k) {
      if (IsChar(k, U'"')) return k;
    }
    return -1;
  };
  const auto textBetween = [&](int first, int last) {
    std::u32string text;
    for (int k = first; k < last; ++k) text += FWork[k].Ch;
    return text;
  };
  const auto restOfSource = [&](int item) {
    return FormulaUtf8(std::u32string_view(FChars).substr(FWork[item].SourceFirst));
  };
  const auto fail = [&](int item, TMsg message, const std::string& detail) {
    Fail(FWork[item].SourceFirst, WithDetail(message, detail));
  };
  std::vector<TWorkItem> out;
  out.reserve(FWork.size());
  for (int i = 0; i < size; ++i) {
    if (!IsChar(i, U'"')) {
      out.push_back(FWork[i]);
      continue;
    }
    const int close = findQuote(i + 1);
    if (close < 0) fail(i, TMsg::SFormulaBadString, restOfSource(i));
    const std::u32string name = textBetween(i + 1, close);
    TToken reference;
    reference.Opcode = TFormulaOp::foReference;
    reference.Summary = FindFormulaSummary(*FSummaries, name, FCalculatedSummary);
    if (reference.Summary < 0) fail(i, TMsg::SFormulaUnknownSummary, FormulaUtf8(name));
    int last = close;
    if (IsChar(close + 1, U'.')) {
      if (!IsChar(close + 2, U'"')) fail(close + 1, TMsg::SFormulaBadFunction, "\"\"");
      last = findQuote(close + 3);
      if (last < 0) fail(close + 2, TMsg::SFormulaBadFunction, restOfSource(close + 2));
      const std::u32string function = textBetween(close + 3, last);
      reference.Function = FindFormulaFunctionName(function);
      if (reference.Function < 0) fail(close + 2, TMsg::SFormulaBadFunction, FormulaUtf8(function));
    }
    const int first = FWork[i].SourceFirst;
    reference.SourceLength = FWork[last].SourceLast - first + 1;
    out.push_back({0, AddToken(reference), first, FWork[last].SourceLast});
    i = last;
  }
  FWork = std::move(out);
}

// Also links the items, which from here on are replaced in place.
void TFormulaParser::UpperCase() {
  for (std::size_t k = 0; k < FWork.size(); ++k) {
    TWorkItem& item = FWork[k];
    if (item.Token < 0) item.Ch = FoldAscii(item.Ch);
    item.Prev = static_cast<int>(k) - 1;
    item.Next = k + 1 < FWork.size() ? static_cast<int>(k) + 1 : -1;
  }
  FHead = FWork.empty() ? -1 : 0;
}

// Every reduction checks its neighbours so that an operand is never taken away from
// an operator that binds tighter, or from the operator on its left at the same level.
// Reductions that pass these checks never overlap and never prevent one another,
// so one left-to-right sweep that steps back after each reduction (far enough to see
// every pattern the new token can complete) reaches the same single tree as
// repeating the steps in their order of precedence.
void TFormulaParser::Reduce() {
  constexpr int kLongestPattern = 10;  // "TRUNC(#,#)"
  int cursor = FHead;
  while (cursor >= 0) {
    if (!ReduceAt(cursor)) {
      cursor = FWork[cursor].Next;
      continue;
    }
    for (int k = 0; k <= kLongestPattern && FWork[cursor].Prev >= 0; ++k) {
      cursor = FWork[cursor].Prev;
    }
  }
}

bool TFormulaParser::ReduceAt(int i) {
  return ReduceBinaryAt(i) || ReduceFunctionAt(i) || ReduceParenthesisAt(i) ||
         ReduceComparisonAt(i) || ReduceIfAt(i);
}

void TFormulaParser::CheckSingleToken() {
  if (IsToken(FHead) && FWork[FHead].Next < 0) {
    FRoot = FWork[FHead].Token;
    return;
  }
  if (FHead < 0) throw EParseError(Msg(TMsg::SFormulaBadString), 1);
  const int at = IsToken(FHead) ? FWork[FHead].Next : FHead;
  Fail(FWork[at].SourceFirst, Msg(TMsg::SFormulaBadString));
}

// T*T and T/T, then T+T and T-T.
bool TFormulaParser::ReduceBinaryAt(int i) {
  const int op = After(i, 1);
  if (!IsToken(i) || IsToken(op) || !IsToken(After(i, 2))) return false;
  const int level = OperatorLevel(op);
  if (level < 1) return false;
  if (OperatorLevel(FWork[i].Prev) >= level || OperatorLevel(After(i, 3)) > level) return false;
  TToken token;
  switch (FWork[op].Ch) {
    case U'*':
      token.Opcode = TFormulaOp::foMultiply;
      break;
    case U'/':
      token.Opcode = TFormulaOp::foDivide;
      break;
    case U'+':
      token.Opcode = TFormulaOp::foAdd;
      break;
    default:
      token.Opcode = TFormulaOp::foSubtract;
  }
  token.Operand1 = FWork[i].Token;
  token.Operand2 = FWork[After(i, 2)].Token;
  Replace(i, 3, token);
  return true;
}

// Table order, the one-argument form before the two-argument form.
bool TFormulaParser::ReduceFunctionAt(int i) {
  if (IsToken(i) || !IsLetter(FWork[i].Ch)) return false;
  for (const TFunctionPattern& candidate : FunctionPatterns()) {
    if (!MatchAt(i, candidate.Pattern)) continue;
    const TFormulaFunction& function = *candidate.Function;
    const int length = static_cast<int>(candidate.Pattern.size());
    if (function.Opcode == TFormulaOp::foCorr) CheckCorrArguments(i, length);
    TToken token;
    token.Opcode = function.Opcode;
    token.Operand1 = FOperands[0];
    if (FOperands.size() == 1) {
      TToken constant;
      constant.Value = function.Constant;
      token.Operand2 = AddToken(constant);
    } else {
      token.Operand2 = FOperands[1];
    }
    Replace(i, length, token);
    return true;
  }
  return false;
}

void TFormulaParser::CheckCorrArguments(int i, int length) const {
  for (const int operand : FOperands) {
    const TToken& argument = FTokens[operand];
    if (argument.Opcode == TFormulaOp::foReference &&
        !FSummaries->IsCalculatedSummary(argument.Summary)) {
      continue;
    }
    const int first = FWork[i].SourceFirst;
    const int last = FWork[After(i, length - 1)].SourceLast;
    const std::u32string_view call =
        std::u32string_view(FChars).substr(first, static_cast<std::size_t>(last - first + 1));
    Fail(first, WithDetail(TMsg::SFormulaCorrArguments, FormulaUtf8(call)));
  }
}

// A parenthesis right after a name belongs to a function call or IF, never to grouping.
bool TFormulaParser::ReduceParenthesisAt(int i) {
  if (!MatchAt(i, U"(#)")) return false;
  const int before = FWork[i].Prev;
  if (before >= 0 && !IsToken(before) && IsLetter(FWork[before].Ch)) return false;
  TToken token;
  token.Opcode = TFormulaOp::foParenthesis;
  token.Operand1 = FOperands[0];
  Replace(i, 3, token);
  return true;
}

bool TFormulaParser::ReduceComparisonAt(int i) {
  if (!IsToken(i)) return false;
  for (std::size_t op = 0; op < kComparisons.size(); ++op) {
    const std::u32string_view pattern = kComparisons[op];
    const int length = static_cast<int>(pattern.size());
    if (!MatchAt(i, pattern)) continue;
    if (OperatorLevel(FWork[i].Prev) >= 0 || OperatorLevel(After(i, length)) > 0) return false;
    TToken token;
    token.Opcode = ComparisonOp(op);
    token.Operand1 = FOperands[0];
    token.Operand2 = FOperands[1];
    Replace(i, length, token);
    return true;
  }
  return false;
}

// The three-argument form first.
bool TFormulaParser::ReduceIfAt(int i) {
  if (!IsChar(i, U'I')) return false;
  for (const std::u32string_view pattern : {U"IF(#,#,#)", U"IF(#,#)"}) {
    if (!MatchAt(i, pattern)) continue;
    TToken token;
    token.Opcode = FOperands.size() == 3 ? TFormulaOp::foIfElse : TFormulaOp::foIf;
    token.Operand3 = FOperands[0];
    token.Operand1 = FOperands[1];
    if (FOperands.size() == 3) token.Operand2 = FOperands[2];
    Replace(i, static_cast<int>(pattern.size()), token);
    return true;
  }
  return false;
}

// The item steps places after i in the linked text, -1 past its end.
int TFormulaParser::After(int i, int steps) const {
  for (; i >= 0 && steps > 0; --steps) i = FWork[i].Next;
  return i;
}

bool TFormulaParser::IsToken(int i) const {
  return i >= 0 && i < static_cast<int>(FWork.size()) && FWork[i].Token >= 0;
}

bool TFormulaParser::IsChar(int i, char32_t c) const {
  return i >= 0 && i < static_cast<int>(FWork.size()) && FWork[i].Token < 0 && FWork[i].Ch == c;
}

// In a pattern "#" stands for any token, every other character for itself; the
// tokens matched are left in FOperands.
bool TFormulaParser::MatchAt(int i, std::u32string_view pattern) {
  FOperands.clear();
  for (const char32_t p : pattern) {
    if (p == U'#') {
      if (!IsToken(i)) return false;
      FOperands.push_back(FWork[i].Token);
    } else if (!IsChar(i, p)) {
      return false;
    }
    i = FWork[i].Next;
  }
  return true;
}

// 2 for * /, 1 for + -, 0 for comparison characters, -1 for anything else.
int TFormulaParser::OperatorLevel(int i) const {
  if (i < 0 || IsToken(i)) return -1;
  switch (FWork[i].Ch) {
    case U'*':
    case U'/':
      return 2;
    case U'+':
    case U'-':
      return 1;
    case U'<':
    case U'>':
    case U'=':
      return 0;
    default:
      return -1;
  }
}

// The item first takes the place of count linked items as the new token.
void TFormulaParser::Replace(int first, int count, TToken token) {
  const int last = After(first, count - 1);
  TWorkItem& item = FWork[first];
  item.SourceLast = FWork[last].SourceLast;
  token.SourceLength = item.SourceLast - item.SourceFirst + 1;
  item.Token = AddToken(std::move(token));
  item.Ch = 0;
  item.Next = FWork[last].Next;
  if (item.Next >= 0) FWork[item.Next].Prev = first;
}

int TFormulaParser::AddToken(TToken token) {
  token.Name = TokenName(FTokens.size());
  FTokens.push_back(std::move(token));
  return static_cast<int>(FTokens.size()) - 1;
}

void TFormulaParser::Fail(int sourceFirst, const std::string& message) const {
  throw EParseError(message, sourceFirst + 1);
}

}  // namespace qd
