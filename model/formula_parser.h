// The formula language of calculated summaries: a formula text is reduced step by
// step into a list of tokens whose last one is the root of an expression tree.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/formula_text.h"

namespace qd {

//! What a token computes; the numbers are the stored opcodes.
enum class TFormulaOp : int {
  foNumber = -1,
  foReference = 0,  // "Name" or "Name"."Function"
  foMultiply = 1,
  foDivide = 2,
  foAdd = 3,
  foSubtract = 4,
  foParenthesis = 5,
  foSin = 6,
  foCos = 7,
  foExp = 8,
  foLog = 9,     // LOG(x, base)
  foRound = 10,  // ROUND(x, m) = m × round-half-even(x ÷ m)
  foPower = 11,
  foTrunc = 12,  // TRUNC(x, m) = m × trunc(x ÷ m)
  foLess = 13,
  foGreater = 14,
  foEqual = 15,
  foLessEqual = 16,
  foGreaterEqual = 17,
  foNotEqual = 18,
  foIf = 19,      // IF(c, x)
  foIfElse = 20,  // IF(c, x, y)
  foCorr = 21,    // CORR(a, b) of two summary references
};

//! One entry of the function table.
struct TFormulaFunction {
  std::string_view Name;  // upper case, as matched after the text is upper-cased
  TFormulaOp Opcode;
  bool OneArgument;  // NAME(x) is accepted; the second operand is then Constant
  double Constant;
  bool TwoArguments;  // NAME(x, y) is accepted
};

//! The function table in matching order: SIN COS EXP LOG CORR ROUND POWER TRUNC.
std::span<const TFormulaFunction> FormulaFunctions();

//! The summaries a formula may name. Indexes are positions in the summary settings.
class IFormulaSummaries {
 public:
  virtual ~IFormulaSummaries() = default;
  virtual int SummaryCount() const = 0;
  virtual std::string SummaryDisplayName(int summary) const = 0;
  //! True for a summary computed from its own formula.
  virtual bool IsCalculatedSummary(int summary) const = 0;
  virtual std::string SummaryFormula(int summary) const = 0;
};

//! The first summary other than excluded whose display name equals name ignoring
//! case; -1 when there is none.
int FindFormulaSummary(const IFormulaSummaries& summaries, std::u32string_view name, int excluded);

//! How numbers are written: digits with at most one decimal separator.
struct TFormulaOptions {
  char32_t DecimalSeparator = U'.';
};

//! One node of a parsed formula. Operands are indexes into the parser's token
//! list and always precede the token that uses them.
struct TToken {
  std::string Name;      // "%&" followed by letters, unique within its parser
  int SourceLength = 0;  // characters of the source text this token covers
  TFormulaOp Opcode = TFormulaOp::foNumber;
  int Operand1 = -1;
  int Operand2 = -1;
  int Operand3 = -1;  // the condition of IF
  double Value = 0;   // numbers, including the constant of a one-argument call
  int Summary = -1;   // references: the summary named
  int Function = 0;   // references: the function ordinal (0 = Sum)
};

//! Parses a formula at construction; raises EParseError whose Position is the
//! 1-based character (code point) position of the fault in the source text.
class TFormulaParser {
 public:
  //! calculatedSummary is the summary the formula belongs to (-1 for none); it
  //! cannot name itself.
  TFormulaParser(std::string_view formula, const IFormulaSummaries& summaries,
                 int calculatedSummary, const TFormulaOptions& options = {});

  const std::string& Source() const { return FSource; }
  int CalculatedSummary() const { return FCalculatedSummary; }
  const TFormulaOptions& Options() const { return FOptions; }
  const std::vector<TToken>& Tokens() const { return FTokens; }
  //! Index of the root token, -1 while nothing was parsed.
  int Root() const { return FRoot; }
  //! The token of that name (ignoring case), or nullptr.
  const TToken* FindToken(std::string_view name) const;

 private:
  // The working text: characters and tokens, linked in text order.
  struct TWorkItem {
    char32_t Ch = 0;
    int Token = -1;       // >= 0: the item stands for this token
    int SourceFirst = 0;  // 0-based source characters covered
    int SourceLast = 0;
    int Prev = -1;
    int Next = -1;
  };

  void BuildWorkText();
  void ReplaceNumbers();
  void ReplaceReferences();
  void UpperCase();
  void Reduce();
  void CheckSingleToken();

  bool ReduceAt(int i);
  bool ReduceBinaryAt(int i);
  bool ReduceFunctionAt(int i);
  void CheckCorrArguments(int i, int length) const;
  bool ReduceParenthesisAt(int i);
  bool ReduceComparisonAt(int i);
  bool ReduceIfAt(int i);

  int After(int i, int steps) const;
  bool IsToken(int i) const;
  bool IsChar(int i, char32_t c) const;
  bool MatchAt(int i, std::u32string_view pattern);
  int OperatorLevel(int i) const;
  void Replace(int first, int count, TToken token);
  int AddToken(TToken token);
  [[noreturn]] void Fail(int sourceFirst, const std::string& message) const;

  std::string FSource;
  std::u32string FChars;
  std::vector<TWorkItem> FWork;
  std::vector<TToken> FTokens;
  const IFormulaSummaries* FSummaries;  // only while parsing
  int FCalculatedSummary;
  TFormulaOptions FOptions;
  int FRoot = -1;
  int FHead = -1;
  std::vector<int> FOperands;  // tokens matched by the last pattern
};

}  // namespace qd
