#include "TextSearch.h"
#include "WidgetTexts.h"

#include <pcre2.h>

#include <algorithm>
#include <cstring>

namespace {

// Half-width katakana U+FF61..U+FF9F in their full-width forms.
const wchar_t kHalfKana[] =
    L"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";

bool Voiceable(wchar_t c) {
  static const wchar_t list[] = L"カキクケコサシスセソタチツテトハヒフヘホ";
  return std::wcschr(list, c) != nullptr && c != 0;
}
bool SemiVoiceable(wchar_t c) { return c != 0 && std::wcschr(L"ハヒフヘホ", c) != nullptr; }

bool IsWordByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
unsigned char LowerByte(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

}  // namespace

void FuzzyFold(const std::wstring& text, std::wstring& folded, std::vector<uint32_t>* sources) {
  folded.clear();
  if (sources) sources->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c >= 0xFF01 && c <= 0xFF5E) c = static_cast<wchar_t>(c - 0xFEE0);
    else if (c == 0x3000) c = L' ';
    else if (c >= 0xFF61 && c <= 0xFF9F) c = kHalfKana[c - 0xFF61];
    if (c >= 0x3041 && c <= 0x3096) c = static_cast<wchar_t>(c + 0x60);
    else if (c == 0x309D || c == 0x309E) c = static_cast<wchar_t>(c + 0x60);
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
    // A voiced or semi-voiced mark written apart joins the kana before it.
    if ((c == 0x309B || c == 0x3099) && !folded.empty()) {
      wchar_t& last = folded.back();
      if (Voiceable(last)) { ++last; continue; }
      if (last == L'ウ') { last = L'ヴ'; continue; }
    }
    if ((c == 0x309C || c == 0x309A) && !folded.empty() && SemiVoiceable(folded.back())) {
      folded.back() = static_cast<wchar_t>(folded.back() + 2);
      continue;
    }
    folded.push_back(c);
    if (sources) sources->push_back(static_cast<uint32_t>(i));
  }
}

struct TTextSearch::TRegex {
  pcre2_code* code = nullptr;
  pcre2_match_data* data = nullptr;
  pcre2_match_context* context = nullptr;
  ~TRegex() {
    if (data) pcre2_match_data_free(data);
    if (context) pcre2_match_context_free(context);
    if (code) pcre2_code_free(code);
  }
};

TTextSearch::TTextSearch() = default;
TTextSearch::~TTextSearch() = default;

bool TTextSearch::Prepare(const std::string& pattern, const TSearchOptions& options) {
  ready_ = false;
  regex_.reset();
  error_.clear();
  pattern_ = pattern;
  options_ = options;
  if (pattern.empty()) {
    error_ = widget_texts::SearchTextMissing;
    return false;
  }
  if (pattern.find_first_of("\r\n") != std::string::npos) {
    error_ = widget_texts::SearchTextHasLineBreak;
    return false;
  }
  if (options.regex) {
    std::wstring wide;
    sjis::AppendWide(pattern.data(), pattern.size(), wide);
    auto regex = std::make_unique<TRegex>();
    int code = 0;
    PCRE2_SIZE at = 0;
    uint32_t flags = PCRE2_UTF | PCRE2_UCP | (options.matchCase ? 0 : PCRE2_CASELESS);
    regex->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(wide.c_str()), wide.size(), flags, &code, &at, nullptr);
    if (!regex->code) {
      PCRE2_UCHAR message[256] = {};
      pcre2_get_error_message(code, message, 256);
      error_ = widget_texts::BadRegex + std::to_wstring(at + 1) + widget_texts::BadRegexAt +
               reinterpret_cast<const wchar_t*>(message);
      return false;
    }
    pcre2_jit_compile(regex->code, PCRE2_JIT_COMPLETE);  // without JIT the interpreter serves
    regex->data = pcre2_match_data_create_from_pattern(regex->code, nullptr);
    regex->context = pcre2_match_context_create(nullptr);
    // Catastrophic backtracking ends at these limits instead of freezing the window.
    pcre2_set_match_limit(regex->context, 2'000'000);
    pcre2_set_depth_limit(regex->context, 10'000);
    pcre2_set_heap_limit(regex->context, 64 * 1024);
    regex_ = std::move(regex);
  } else if (options.fuzzy) {
    std::wstring wide;
    sjis::AppendWide(pattern.data(), pattern.size(), wide);
    FuzzyFold(wide, foldedPattern_);
    if (foldedPattern_.empty()) {
      error_ = widget_texts::SearchTextMissing;
      return false;
    }
    // Only the kanji of the standard rows: the extension rows hold some
    // kanji twice (two codes, one character), which a byte search would miss.
    anchor_.reset();
    const char* end = pattern.data() + pattern.size();
    for (const char* p = pattern.data(); p < end;) {
      size_t n = sjis::CharLength(p, end);
      auto lead = static_cast<unsigned char>(*p);
      wchar_t w = sjis::ToWide(sjis::Code(p, n));
      if (n == 2 && ((lead >= 0x88 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA)) && w >= 0x4E00 && w <= 0x9FFF) {
        anchor_ = std::make_unique<TTextSearch>();
        anchor_->Prepare(std::string(p, 2), {.matchCase = true});
        break;
      }
      p += n;
    }
  } else {
    for (int b = 0; b < 256; ++b)
      fold_[b] = options.matchCase ? static_cast<unsigned char>(b) : LowerByte(static_cast<unsigned char>(b));
    const size_t m = pattern.size();
    std::fill(std::begin(skip_), std::end(skip_), m);
    for (size_t i = 0; i + 1 < m; ++i) skip_[fold_[static_cast<unsigned char>(pattern[i])]] = m - 1 - i;
  }
  ready_ = true;
  return true;
}

bool TTextSearch::WholeWordAt(const char* text, size_t length, size_t start, size_t end) const {
  if (!options_.wholeWord) return true;
  // Only single-byte characters make words; a trail byte is no letter.
  if (start > 0 && IsWordByte(text[start]) && IsWordByte(text[start - 1]) && sjis::IsCharStart(text, 0, start - 1))
    return false;
  if (end < length && end > start && IsWordByte(text[end]) && IsWordByte(text[end - 1]) &&
      sjis::IsCharStart(text, 0, end - 1))
    return false;
  return true;
}

bool TTextSearch::PlainAt(const char* text, size_t length, size_t start) const {
  const char* p = pattern_.data();
  const char* pend = p + pattern_.size();
  const char* t = text + start;
  const char* tend = text + length;
  while (p < pend) {
    if (t >= tend) return false;
    size_t pn = sjis::CharLength(p, pend), tn = sjis::CharLength(t, tend);
    if (pn != tn) return false;
    if (pn == 1 ? fold_[static_cast<unsigned char>(*p)] != fold_[static_cast<unsigned char>(*t)]
                : std::memcmp(p, t, 2) != 0)
      return false;
    p += pn;
    t += tn;
  }
  return true;
}

bool TTextSearch::LineHits(const char* text, size_t length, std::vector<TSearchHit>& hits, bool firstOnly,
                           size_t minStart) {
  if (options_.regex) {
    wide_.clear();
    offsets_.clear();
    sjis::AppendWide(text, length, wide_, &offsets_);
    auto byteAt = [&](size_t unit) { return unit < offsets_.size() ? offsets_[unit] : length; };
    PCRE2_SIZE from = 0;
    while (from <= wide_.size()) {
      int rc = pcre2_match(regex_->code, reinterpret_cast<PCRE2_SPTR>(wide_.data()), wide_.size(), from,
                           PCRE2_NO_UTF_CHECK, regex_->data, regex_->context);
      if (rc == PCRE2_ERROR_NOMATCH) break;
      if (rc < 0) {
        error_ = rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT
                     ? widget_texts::RegexTooComplex
                     : widget_texts::RegexFailed;
        return false;
      }
      PCRE2_SIZE* v = pcre2_get_ovector_pointer(regex_->data);
      if (v[1] > v[0]) {
        size_t s = byteAt(v[0]), e = byteAt(v[1]);
        if (WholeWordAt(text, length, s, e) && s >= minStart) {
          hits.push_back({s, e - s});
          if (firstOnly) return true;
        }
        from = v[1];
      } else {
        from = v[0] + 1;  // an empty match is no hit
      }
    }
    return true;
  }
  if (options_.fuzzy) {
    wide_.clear();
    offsets_.clear();
    sjis::AppendWide(text, length, wide_, &offsets_);
    FuzzyFold(wide_, folded_, &foldSources_);
    auto byteAt = [&](size_t index) { return index < folded_.size() ? offsets_[foldSources_[index]] : length; };
    for (size_t at = folded_.find(foldedPattern_); at != std::wstring::npos; at = folded_.find(foldedPattern_, at + 1)) {
      size_t s = byteAt(at), e = byteAt(at + foldedPattern_.size());
      if (s < minStart || !WholeWordAt(text, length, s, e)) continue;
      hits.push_back({s, e - s});
      if (firstOnly) return true;
    }
    return true;
  }
  const size_t m = pattern_.size();
  const unsigned char last = fold_[static_cast<unsigned char>(pattern_[m - 1])];
  size_t known = 0;  // a character start at or before the candidates
  for (size_t s = minStart; s + m <= length;) {
    unsigned char c = fold_[static_cast<unsigned char>(text[s + m - 1])];
    if (c == last && PlainAt(text, length, s)) {
      bool start = sjis::IsCharStart(text, known, s);
      known = start ? s : s - 1;
      if (start && WholeWordAt(text, length, s, s + m)) {
        hits.push_back({s, m});
        if (firstOnly) return true;
        s += m;  // occurrences do not overlap
        continue;
      }
    }
    s += skip_[c];
  }
  return true;
}

std::optional<TSearchHit> TTextSearch::PlainForward(const TTextModel& model, size_t from) {
  // The whole text at once: a pattern holds no line break, so no hit spans lines.
  const char* text = model.Data();
  const size_t length = model.Size();
  const size_t m = pattern_.size();
  const unsigned char last = fold_[static_cast<unsigned char>(pattern_[m - 1])];
  size_t known = model.LineStart(model.LineOfOffset(from));
  for (size_t s = from; s + m <= length;) {
    unsigned char c = fold_[static_cast<unsigned char>(text[s + m - 1])];
    if (c == last && PlainAt(text, length, s)) {
      bool start = sjis::IsCharStart(text, known, s);
      known = start ? s : s - 1;
      if (start && WholeWordAt(text, length, s, s + m)) return TSearchHit{s, m};
    }
    s += skip_[c];
  }
  return std::nullopt;
}

std::optional<TSearchHit> TTextSearch::FindForward(const TTextModel& model, size_t from) {
  error_.clear();
  if (!ready_ || from > model.Size()) return std::nullopt;
  if (!options_.regex && !options_.fuzzy) return PlainForward(model, from);
  std::vector<TSearchHit> hits;
  size_t first = model.LineOfOffset(from);
  if (options_.fuzzy && anchor_) {
    for (size_t scan = model.LineStart(first);;) {
      auto found = anchor_->PlainForward(model, scan);
      if (!found) return std::nullopt;
      size_t line = model.LineOfOffset(found->start);
      size_t start = model.LineStart(line);
      LineHits(model.Data() + start, model.LineLength(line), hits, true, line == first ? from - start : 0);
      if (!hits.empty()) return TSearchHit{start + hits[0].start, hits[0].length};
      if (line + 1 >= model.LineCount()) return std::nullopt;
      scan = model.LineStart(line + 1);
    }
  }
  for (size_t line = first; line < model.LineCount(); ++line) {
    size_t start = model.LineStart(line);
    size_t minStart = line == first ? from - start : 0;
    if (!LineHits(model.Data() + start, model.LineLength(line), hits, true, minStart)) return std::nullopt;
    if (!hits.empty()) return TSearchHit{start + hits[0].start, hits[0].length};
  }
  return std::nullopt;
}

std::optional<TSearchHit> TTextSearch::FindBackward(const TTextModel& model, size_t before) {
  error_.clear();
  if (!ready_ || before == 0) return std::nullopt;
  std::vector<TSearchHit> hits;
  for (size_t line = model.LineOfOffset(before) + 1; line-- > 0;) {
    size_t start = model.LineStart(line);
    if (start >= before) continue;
    hits.clear();
    if (!LineHits(model.Data() + start, model.LineLength(line), hits, false, 0)) return std::nullopt;
    for (size_t k = hits.size(); k-- > 0;)
      if (start + hits[k].start < before) return TSearchHit{start + hits[k].start, hits[k].length};
  }
  return std::nullopt;
}

void TTextSearch::FindInLine(const TTextModel& model, size_t line, std::vector<TSearchHit>& hits) {
  hits.clear();
  if (!ready_ || line >= model.LineCount()) return;
  size_t start = model.LineStart(line);
  if (!LineHits(model.Data() + start, model.LineLength(line), hits, false, 0)) hits.clear();
  for (auto& hit : hits) hit.start += start;
}

void TTextSearch::FindInRange(const TTextModel& model, size_t start, size_t end, std::vector<TSearchHit>& hits) {
  hits.clear();
  if (!ready_ || start > end || end > model.Size()) return;
  if (!LineHits(model.Data() + start, end - start, hits, false, 0)) hits.clear();
  for (auto& hit : hits) hit.start += start;
}
