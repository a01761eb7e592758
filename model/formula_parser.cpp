#include "model/formula_parser.h"

#include <array>
#include <charconv>
#include <cmath>

#include "engine/errors.h"
#include "engine/messages.h"

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

constexpr std::array<TMsg, kFormulaFunctionNames> kFunctionNames = {
    TMsg::SFormulaFnSum,      TMsg::SFormulaFnCount,      TMsg::SFormulaFnAverage,
    TMsg::SFormulaFnMin,      TMsg::SFormulaFnMax,        TMsg::SFormulaFnVariance,
    TMsg::SFormulaFnStdDev,   TMsg::SFormulaFnMeanAbsDev, TMsg::SFormulaFnSkewness,
    TMsg::SFormulaFnKurtosis, TMsg::SFormulaFnMedian,     TMsg::SFormulaFnCustom,
    TMsg::SFormulaFnCustom,   TMsg::SFormulaFnCustom,     TMsg::SFormulaFnCustom,
    TMsg::SFormulaFnCustom,
};

// Comparison operators in the order they are tried.
constexpr std::array<std::u32string_view, 6> kComparisons = {U"<", U">", U"=", U"<=", U">=", U"<>"};

constexpr TFormulaOp ComparisonOp(std::size_t index) {
  return static_cast<TFormulaOp>(static_cast<int>(TFormulaOp::foLess) + static_cast<int>(index));
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

const std::string& FormulaFunctionName(int ordinal) {
  return Msg(kFunctionNames.at(static_cast<std::size_t>(ordinal)));
}

int FindFormulaFunctionName(std::u32string_view name) {
  for (int i = 0; i < kFormulaFunctionNames; ++i) {
    if (SameFormulaName(FormulaChars(FormulaFunctionName(i)), name)) return i;
  }
  return -1;
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
      FSummaries(summaries),
      FCalculatedSummary(calculatedSummary),
      FOptions(options) {
  BuildWorkText();
  ReplaceNumbers();
  ReplaceReferences();
  UpperCase();
  Reduce();
  CheckSingleToken();
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

void TFormulaParser::ReplaceNumbers() {
  bool quoted = false;
  for (int i = 0; i < static_cast<int>(FWork.size()); ++i) {
    if (IsChar(i, U'"')) quoted = !quoted;
    if (quoted || IsToken(i) || !IsDigit(FWork[i].Ch)) continue;
    std::string text;
    int end = i;
    const auto takeDigits = [&] {
      while (end < static_cast<int>(FWork.size()) && !IsToken(end) && IsDigit(FWork[end].Ch)) {
        text += static_cast<char>(FWork[end].Ch);
        ++end;
      }
    };
    takeDigits();
    if (IsChar(end, FOptions.DecimalSeparator)) {
      text += '.';
      ++end;
      takeDigits();
    }
    // A minus directly before the number is its sign after "(" or at the very start.
    int first = i;
    if (IsChar(i - 1, U'-') && (i == 1 || IsChar(i - 2, U'('))) {
      first = i - 1;
      text.insert(text.begin(), '-');
    }
    TToken number;
    number.Opcode = TFormulaOp::foNumber;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), number.Value);
    if (ec == std::errc::result_out_of_range) {
      number.Value = text.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    (void)ptr;
    i = Replace(first, end - first, number);
  }
}

void TFormulaParser::ReplaceReferences() {
  const auto findQuote = [this](int from) {
    for (int k = from; k < static_cast<int>(FWork.size()); ++k) {
      if (IsChar(k, U'"')) return k;
    }
    return -1;
  };
  const auto textBetween = [this](int first, int last) {
    std::u32string text;
    for (int k = first; k < last; ++k) text += FWork[k].Ch;
    return text;
  };
  const auto restOfSource = [this](int item) {
    return FormulaUtf8(std::u32string_view(FChars).substr(FWork[item].SourceFirst));
  };
  for (int i = 0; i < static_cast<int>(FWork.size()); ++i) {
    if (!IsChar(i, U'"')) continue;
    const int close = findQuote(i + 1);
    if (close < 0) Fail(i, WithDetail(TMsg::SFormulaBadString, restOfSource(i)));
    const std::u32string name = textBetween(i + 1, close);
    TToken reference;
    reference.Opcode = TFormulaOp::foReference;
    reference.Summary = FindFormulaSummary(FSummaries, name, FCalculatedSummary);
    if (reference.Summary < 0) Fail(i, WithDetail(TMsg::SFormulaUnknownSummary, FormulaUtf8(name)));
    int last = close;
    if (IsChar(close + 1, U'.')) {
      if (!IsChar(close + 2, U'"')) Fail(close + 1, WithDetail(TMsg::SFormulaBadFunction, "\"\""));
      last = findQuote(close + 3);
      if (last < 0) Fail(close + 2, WithDetail(TMsg::SFormulaBadFunction, restOfSource(close + 2)));
      const std::u32string function = textBetween(close + 3, last);
      reference.Function = FindFormulaFunctionName(function);
      if (reference.Function < 0) {
        Fail(close + 2, WithDetail(TMsg::SFormulaBadFunction, FormulaUtf8(function)));
      }
    }
    i = Replace(i, last - i + 1, reference);
  }
}

void TFormulaParser::UpperCase() {
  for (TWorkItem& item : FWork) {
    if (item.Token < 0) item.Ch = FoldAscii(item.Ch);
  }
}

// Every reduction checks its neighbours so that an operand is never taken away from
// an operator that binds tighter, or from the operator on its left at the same level.
void TFormulaParser::Reduce() {
  bool changed = true;
  while (changed) {
    changed = false;
    while (ReduceBinary(U"*/", 2)) changed = true;
    while (ReduceBinary(U"+-", 1)) changed = true;
    while (ReduceFunctions()) changed = true;
    while (ReduceParenthesis()) changed = true;
    while (ReduceComparison()) changed = true;
    while (ReduceIf()) changed = true;
  }
}

void TFormulaParser::CheckSingleToken() {
  if (FWork.size() == 1 && IsToken(0)) {
    FRoot = FWork[0].Token;
    return;
  }
  if (FWork.empty()) throw EParseError(Msg(TMsg::SFormulaBadString), 1);
  Fail(IsToken(0) ? 1 : 0, Msg(TMsg::SFormulaBadString));
}

bool TFormulaParser::ReduceBinary(std::u32string_view ops, int level) {
  for (int i = 0; i + 2 < static_cast<int>(FWork.size()); ++i) {
    if (!IsToken(i) || !IsToken(i + 2) || IsToken(i + 1)) continue;
    const std::size_t which = ops.find(FWork[i + 1].Ch);
    if (which == std::u32string_view::npos) continue;
    if (OperatorLevel(i - 1) >= level || OperatorLevel(i + 3) > level) continue;
    TToken token;
    token.Opcode = level == 2 ? (which == 0 ? TFormulaOp::foMultiply : TFormulaOp::foDivide)
                              : (which == 0 ? TFormulaOp::foAdd : TFormulaOp::foSubtract);
    token.Operand1 = FWork[i].Token;
    token.Operand2 = FWork[i + 2].Token;
    Replace(i, 3, token);
    return true;
  }
  return false;
}

bool TFormulaParser::ReduceFunctions() {
  std::vector<int> operands;
  for (const TFormulaFunction& function : kFunctions) {
    std::u32string name(function.Name.begin(), function.Name.end());
    for (int form = 1; form <= 2; ++form) {
      if ((form == 1 && !function.OneArgument) || (form == 2 && !function.TwoArguments)) continue;
      const std::u32string pattern = name + (form == 1 ? U"(#)" : U"(#,#)");
      for (int i = 0; i < static_cast<int>(FWork.size()); ++i) {
        if (!MatchAt(i, pattern, operands)) continue;
        TToken token;
        token.Opcode = function.Opcode;
        token.Operand1 = operands[0];
        if (form == 1) {
          TToken constant;
          constant.Value = function.Constant;
          token.Operand2 = AddToken(constant);
        } else {
          token.Operand2 = operands[1];
        }
        if (function.Opcode == TFormulaOp::foCorr) {
          for (int operand : operands) {
            const TToken& argument = FTokens[operand];
            if (argument.Opcode != TFormulaOp::foReference ||
                FSummaries.IsCalculatedSummary(argument.Summary)) {
              const int first = FWork[i].SourceFirst;
              const int last = FWork[i + static_cast<int>(pattern.size()) - 1].SourceLast;
              const std::u32string_view call = std::u32string_view(FChars).substr(
                  first, static_cast<std::size_t>(last - first + 1));
              Fail(i, WithDetail(TMsg::SFormulaCorrArguments, FormulaUtf8(call)));
            }
          }
        }
        Replace(i, static_cast<int>(pattern.size()), token);
        return true;
      }
    }
  }
  return false;
}

// A parenthesis right after a name belongs to a function call or IF, never to grouping.
bool TFormulaParser::ReduceParenthesis() {
  std::vector<int> operands;
  for (int i = 0; i < static_cast<int>(FWork.size()); ++i) {
    if (!MatchAt(i, U"(#)", operands)) continue;
    if (i > 0 && !IsToken(i - 1) && IsLetter(FWork[i - 1].Ch)) continue;
    TToken token;
    token.Opcode = TFormulaOp::foParenthesis;
    token.Operand1 = operands[0];
    Replace(i, 3, token);
    return true;
  }
  return false;
}

bool TFormulaParser::ReduceComparison() {
  std::vector<int> operands;
  for (std::size_t op = 0; op < kComparisons.size(); ++op) {
    const std::u32string pattern = U"#" + std::u32string(kComparisons[op]) + U"#";
    const int length = static_cast<int>(pattern.size());
    for (int i = 0; i < static_cast<int>(FWork.size()); ++i) {
      if (!MatchAt(i, pattern, operands)) continue;
      if (OperatorLevel(i - 1) >= 0 || OperatorLevel(i + length) > 0) continue;
      TToken token;
      token.Opcode = ComparisonOp(op);
      token.Operand1 = operands[0];
      token.Operand2 = operands[1];
      Replace(i, length, token);
      return true;
    }
  }
  return false;
}

bool TFormulaParser::ReduceIf() {
  std::vector<int> operands;
  for (const std::u32string_view pattern : {U"IF(#,#,#)", U"IF(#,#)"}) {
    for (int i = 0; i < static_cast<int>(FWork.size()); ++i) {
      if (!MatchAt(i, pattern, operands)) continue;
      TToken token;
      token.Opcode = operands.size() == 3 ? TFormulaOp::foIfElse : TFormulaOp::foIf;
      token.Operand3 = operands[0];
      token.Operand1 = operands[1];
      if (operands.size() == 3) token.Operand2 = operands[2];
      Replace(i, static_cast<int>(pattern.size()), token);
      return true;
    }
  }
  return false;
}

bool TFormulaParser::IsToken(int i) const {
  return i >= 0 && i < static_cast<int>(FWork.size()) && FWork[i].Token >= 0;
}

bool TFormulaParser::IsChar(int i, char32_t c) const {
  return i >= 0 && i < static_cast<int>(FWork.size()) && FWork[i].Token < 0 && FWork[i].Ch == c;
}

// In a pattern "#" stands for any token, every other character for itself.
bool TFormulaParser::MatchAt(int i, std::u32string_view pattern, std::vector<int>& operands) const {
  if (i + static_cast<int>(pattern.size()) > static_cast<int>(FWork.size())) return false;
  operands.clear();
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    const int item = i + static_cast<int>(k);
    if (pattern[k] == U'#') {
      if (!IsToken(item)) return false;
      operands.push_back(FWork[item].Token);
    } else if (!IsChar(item, pattern[k])) {
      return false;
    }
  }
  return true;
}

// 2 for * /, 1 for + -, 0 for comparison characters, -1 for anything else.
int TFormulaParser::OperatorLevel(int i) const {
  if (i < 0 || i >= static_cast<int>(FWork.size()) || IsToken(i)) return -1;
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

int TFormulaParser::Replace(int first, int count, TToken token) {
  const int sourceFirst = FWork[first].SourceFirst;
  const int sourceLast = FWork[first + count - 1].SourceLast;
  token.SourceLength = sourceLast - sourceFirst + 1;
  const int index = AddToken(std::move(token));
  FWork.erase(FWork.begin() + first + 1, FWork.begin() + first + count);
  FWork[first] = {0, index, sourceFirst, sourceLast};
  return first;
}

int TFormulaParser::AddToken(TToken token) {
  token.Name = TokenName(FTokens.size());
  FTokens.push_back(std::move(token));
  return static_cast<int>(FTokens.size()) - 1;
}

int TFormulaParser::SourcePosition(int item) const {
  if (item >= 0 && item < static_cast<int>(FWork.size())) return FWork[item].SourceFirst + 1;
  return static_cast<int>(FChars.size()) + 1;
}

void TFormulaParser::Fail(int item, const std::string& message) const {
  throw EParseError(message, SourcePosition(item));
}

std::u32string FormulaChars(std::string_view utf8) {
  std::u32string chars;
  chars.reserve(utf8.size());
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[k]); };
  std::size_t k = 0;
  while (k < utf8.size()) {
    const unsigned char lead = byte(k);
    int extra = 0;
    char32_t c = lead;
    char32_t minimum = 0;
    if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0x80) {
      extra = -1;
    }
    bool valid = extra >= 0 && k + static_cast<std::size_t>(extra) < utf8.size();
    for (int n = 1; valid && n <= extra; ++n) {
      const unsigned char next = byte(k + static_cast<std::size_t>(n));
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    valid = valid && c >= minimum && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    if (!valid) {
      chars += U'\uFFFD';
      ++k;
      continue;
    }
    chars += c;
    k += static_cast<std::size_t>(extra) + 1;
  }
  return chars;
}

std::string FormulaUtf8(std::u32string_view chars) {
  std::string text;
  text.reserve(chars.size());
  for (const char32_t c : chars) {
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else if (c < 0x800) {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      text += static_cast<char>(0xE0 | (c >> 12));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      text += static_cast<char>(0xF0 | (c >> 18));
      text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

bool SameFormulaName(std::u32string_view a, std::u32string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (FoldAscii(a[k]) != FoldAscii(b[k])) return false;
  }
  return true;
}

}  // namespace qd
