#include "app/cli_args.h"

#include <algorithm>

#include "engine/core/format.h"
#include "engine/core/text_codec.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

// The characters of a UTF-8 text, Latin letters in lower case; a byte that
// starts no valid sequence counts as one character.
std::u32string Characters(std::string_view s) {
  std::u32string out = CodePoints(s);
  for (char32_t& c : out)
    if (c < 0x80) c = static_cast<unsigned char>(LowerChar(static_cast<char>(c)));
  return out;
}

// Edits (insert, delete, replace, swap of neighbours) turning a into b.
std::size_t EditDistance(const std::u32string& a, const std::u32string& b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::size_t> prev2(m + 1), prev(m + 1), row(m + 1);
  for (std::size_t j = 0; j <= m; ++j) prev[j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({prev[j] + 1, row[j - 1] + 1, prev[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        row[j] = std::min(row[j], prev2[j - 2] + 1);
    }
    prev2.swap(prev);
    prev.swap(row);
  }
  return prev[m];
}

std::string OptionOf(const TCliOption& o) { return std::string(o.Name); }

}  // namespace

TCliArgs::TCliArgs(const std::vector<std::string>& args, std::vector<TCliOption> options,
                   std::vector<std::string_view> positional, std::size_t required)
    : FOptions(std::move(options)) {
  bool plainOnly = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (plainOnly || a == "-" || !a.starts_with("-")) {
      if (FPositional.size() >= positional.size()) RaiseUsage(TMsg::SCliExtraArgument, a);
      FPositional.push_back(a);
      continue;
    }
    if (a == "--") {
      plainOnly = true;
      continue;
    }
    // "--name=value" gives a value in the same argument.
    const std::size_t eq = a.starts_with("--") ? a.find('=') : std::string::npos;
    const std::string name = a.substr(0, eq);
    const auto o = std::find_if(FOptions.begin(), FOptions.end(), [&](const TCliOption& opt) {
      return opt.Name == name || (!opt.Alias.empty() && opt.Alias == name);
    });
    if (o == FOptions.end()) {
      std::vector<std::string> names;
      std::transform(FOptions.begin(), FOptions.end(), std::back_inserter(names), OptionOf);
      const std::string message = Format(Msg(TMsg::SCliUnknownOption), name);
      if (std::optional<std::string> hint = ClosestName(name, names))
        throw ECliUsageError(message + Format(Msg(TMsg::SCliDidYouMean), *hint));
      throw ECliUsageError(message);
    }
    if (!o->Repeatable && Has(o->Name)) RaiseUsage(TMsg::SCliRepeatedOption, a);
    std::string value;
    if (eq != std::string::npos) {
      if (!o->Valued) RaiseUsage(TMsg::SCliUnexpectedValue, name);
      value = a.substr(eq + 1);
    } else if (o->Valued) {
      if (i + 1 >= args.size()) RaiseUsage(TMsg::SCliMissingValue, a);
      value = args[++i];
    }
    FGiven.push_back({std::string(o->Name), std::move(value)});
  }
  if (FPositional.size() < required) RaiseUsage(TMsg::SCliMissingArgument, positional[FPositional.size()]);
}

bool TCliArgs::Has(std::string_view option) const {
  return std::any_of(FGiven.begin(), FGiven.end(),
                     [&](const TGiven& g) { return g.Option == option; });
}

std::optional<std::string> TCliArgs::Value(std::string_view option) const {
  for (auto g = FGiven.rbegin(); g != FGiven.rend(); ++g)
    if (g->Option == option) return g->Value;
  return std::nullopt;
}

std::vector<std::string> TCliArgs::Values(std::string_view option) const {
  std::vector<std::string> out;
  for (const TGiven& g : FGiven)
    if (g.Option == option) out.push_back(g.Value);
  return out;
}

std::string TCliArgs::Choice(std::string_view option, const std::vector<std::string>& choices,
                             std::string_view fallback) const {
  const std::optional<std::string> v = Value(option);
  if (!v) return std::string(fallback);
  if (std::find(choices.begin(), choices.end(), *v) != choices.end()) return *v;
  std::string list;
  for (const std::string& c : choices) list += (list.empty() ? "" : "|") + c;
  throw ECliUsageError(Format(Msg(TMsg::SCliBadValue), std::string(option), *v, list));
}

std::optional<std::string> ClosestName(std::string_view typed,
                                       const std::vector<std::string>& candidates) {
  const std::u32string t = Characters(typed);
  const std::size_t allowed = t.size() <= 4 ? 1 : std::max<std::size_t>(1, t.size() / 3);
  std::optional<std::string> best;
  std::size_t bestDistance = allowed + 1;
  for (const std::string& c : candidates) {
    const std::size_t d = EditDistance(t, Characters(c));
    if (d < bestDistance) {
      bestDistance = d;
      best = c;
    }
  }
  return best;
}

void RaiseUnknownName(const std::string& message, std::string_view typed,
                      const std::vector<std::string>& candidates) {
  if (std::optional<std::string> hint = ClosestName(typed, candidates))
    throw ECliUsageError(message + Format(Msg(TMsg::SCliDidYouMean), *hint));
  // Nothing close: name what there is, the first few of a long list.
  constexpr std::size_t kListed = 12;
  std::string list;
  for (std::size_t i = 0; i < candidates.size() && i < kListed; ++i)
    list += (i ? "、" : "") + candidates[i];
  if (candidates.size() > kListed) list += "……";
  throw ECliUsageError(message + Format(Msg(TMsg::SCliAvailableNames), list));
}

void RaiseUsage(TMsg id, std::string_view argument) {
  throw ECliUsageError(Format(Msg(id), argument));
}

}  // namespace qd
