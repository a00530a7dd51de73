#include "TextColoring.h"

#include <algorithm>
#include <cstring>

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWord(char c) { return IsAlpha(c) || IsDigit(c) || c == '_'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsUrlChar(char c) {
  return IsWord(c) || (c != 0 && std::strchr("-.~:/?#[]@!$&'()*+,;=%", c) != nullptr);
}
bool IsMailLocal(char c) { return IsWord(c) || c == '.' || c == '%' || c == '+' || c == '-'; }
bool IsMailDomain(char c) { return IsWord(c) || c == '.' || c == '-'; }

bool StartsWithNoCase(const char* p, const char* end, const std::string& prefix) {
  if (prefix.empty() || static_cast<size_t>(end - p) < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(p[i]) != Lower(prefix[i])) return false;
  return true;
}

constexpr unsigned char kUnset = 0xFF;

// Addresses first, so that the dots and digits inside them are not numbers or symbols.
void MarkAddresses(const char* line, size_t length, std::vector<unsigned char>& e) {
  static const std::string schemes[] = {"http://", "https://", "ftp://", "file://", "mailto:", "www."};
  const char* end = line + length;
  for (size_t i = 0; i < length;) {
    size_t n = sjis::CharLength(line + i, end);
    if (n == 1 && (i == 0 || !IsWord(line[i - 1]) || !sjis::IsCharStart(line, 0, i - 1))) {
      for (const auto& scheme : schemes) {
        if (!StartsWithNoCase(line + i, end, scheme)) continue;
        size_t j = i + scheme.size();
        while (j < length && IsUrlChar(line[j])) ++j;
        if (j > i + scheme.size()) {
          for (size_t k = i; k < j; ++k) e[k] = teUrl;
          n = j - i;
        }
        break;
      }
    }
    if (n == 1 && line[i] == '@' && e[i] == kUnset) {
      size_t left = i;
      while (left > 0 && IsMailLocal(line[left - 1]) && e[left - 1] == kUnset &&
             sjis::IsCharStart(line, 0, left - 1))
        --left;
      size_t right = i + 1;
      bool dot = false;
      while (right < length && IsMailDomain(line[right])) dot |= line[right++] == '.';
      while (right > i + 1 && line[right - 1] == '.') --right;
      if (left < i && dot && right > i + 2) {
        for (size_t k = left; k < right; ++k) e[k] = teMail;
        n = right - i;
      }
    }
    i += n;
  }
}
}  // namespace

TColorRules TColorRules::From(const TEditorSettings& settings) {
  TColorRules rules;
  rules.hexPrefix = sjis::FromWide(settings.hexPrefix);
  rules.lineComment = sjis::FromWide(settings.lineComment);
  rules.quotes = sjis::FromWide(settings.quotes);
  for (const auto& word : settings.reservedWords) rules.reservedWords.insert(sjis::FromWide(word));
  rules.markAddresses = settings.markAddresses;
  for (const auto& [left, right] : settings.brackets)
    rules.brackets.emplace_back(sjis::FromWide(left), sjis::FromWide(right));
  return rules;
}

void ColorLine(const char* line, size_t length, const TColorRules& rules, std::vector<unsigned char>& e) {
  e.assign(length, kUnset);
  if (rules.markAddresses) MarkAddresses(line, length, e);
  const char* end = line + length;
  auto fill = [&](size_t from, size_t to, unsigned char element) {
    for (size_t k = from; k < to; ++k)
      if (e[k] == kUnset) e[k] = element;
  };
  for (size_t i = 0; i < length;) {
    size_t n = sjis::CharLength(line + i, end);
    char c = line[i];
    if (e[i] != kUnset) {
      i += n;
      continue;
    }
    if (n == 2) {
      fill(i, i + 2, teDoubleByte);
    } else if (!rules.lineComment.empty() && static_cast<size_t>(end - (line + i)) >= rules.lineComment.size() &&
               std::memcmp(line + i, rules.lineComment.data(), rules.lineComment.size()) == 0) {
      fill(i, length, teComment);
      break;
    } else if (c != 0 && rules.quotes.find(c) != std::string::npos) {
      size_t j = i + 1;
      while (j < length && line[j] != c) j += line[j] == '\\' && j + 1 < length ? 2 : sjis::CharLength(line + j, end);
      j = std::min(j + 1, length);
      fill(i, j, teString);
      n = j - i;
    } else if (IsDigit(c) || (StartsWithNoCase(line + i, end, rules.hexPrefix) && i + rules.hexPrefix.size() < length &&
                              IsHex(line[i + rules.hexPrefix.size()]))) {
      size_t j = i;
      if (StartsWithNoCase(line + i, end, rules.hexPrefix) && i + rules.hexPrefix.size() < length &&
          IsHex(line[i + rules.hexPrefix.size()])) {
        j += rules.hexPrefix.size();
        while (j < length && IsHex(line[j])) ++j;
      } else {
        while (j < length && (IsDigit(line[j]) || line[j] == '.')) ++j;
      }
      fill(i, j, teNumber);
      n = j - i;
    } else if (IsAlpha(c) || c == '_') {
      size_t j = i;
      while (j < length && IsWord(line[j])) ++j;
      bool reserved = rules.reservedWords.count(std::string(line + i, j - i)) != 0;
      fill(i, j, reserved ? teReserved : teSingleByte);
      n = j - i;
    } else if (c > ' ' && c < 0x7F) {
      fill(i, i + 1, teSymbol);
    } else {
      fill(i, i + 1, teSingleByte);
    }
    i += n;
  }
}

std::optional<size_t> MatchingBracket(const TTextModel& model, size_t offset, const TColorRules& rules,
                                      size_t limit) {
  const char* data = model.Data();
  const size_t size = model.Size();
  if (offset >= size) return std::nullopt;
  size_t line = model.LineOfOffset(offset);
  if (!sjis::IsCharStart(data, model.LineStart(line), offset)) return std::nullopt;
  auto at = [&](size_t pos, const std::string& s) {
    return !s.empty() && pos + s.size() <= size && std::memcmp(data + pos, s.data(), s.size()) == 0;
  };
  for (const auto& [open, close] : rules.brackets) {
    if (open == close) continue;
    bool forward = at(offset, open);
    if (!forward && !at(offset, close)) continue;
    int depth = 0;
    if (forward) {
      size_t stop = std::min(size, offset + limit);
      for (size_t p = offset; p < stop;) {
        if (at(p, open)) ++depth;
        else if (at(p, close) && --depth == 0) return p;
        p += sjis::CharLength(data + p, data + size);
      }
    } else {
      // Backwards, step over characters of each line from its start.
      size_t stop = offset > limit ? offset - limit : 0;
      for (size_t l = line + 1; l-- > 0;) {
        size_t from = model.LineStart(l);
        if (model.NextLineStart(l) <= stop) break;
        std::vector<size_t> starts;
        size_t to = l == line ? offset + 1 : model.NextLineStart(l);
        for (size_t p = from; p < to; p += sjis::CharLength(data + p, data + size)) starts.push_back(p);
        for (size_t k = starts.size(); k-- > 0;) {
          size_t p = starts[k];
          if (at(p, close)) ++depth;
          else if (at(p, open) && --depth == 0) return p;
        }
      }
    }
    return std::nullopt;
  }
  return std::nullopt;
}
