// Searching the text of the view: plain (match case, whole word), fuzzy
// (full/half width, hiragana/katakana, case and a separate voiced mark are
// alike) and regular expressions (PCRE2 with match limits). Plain code
// without windows; offsets are bytes of the Shift-JIS text.
#pragma once

#include "TextModel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TSearchOptions {
  bool matchCase = false;
  bool wholeWord = false;
  bool regex = false;
  bool fuzzy = false;
  bool operator==(const TSearchOptions&) const = default;
};

struct TSearchHit {
  size_t start = 0;
  size_t length = 0;
  bool operator==(const TSearchHit&) const = default;
};

// The fuzzy form of a UTF-16 text: one unit per compared character, and the
// index in the source where each starts.
void FuzzyFold(const std::wstring& text, std::wstring& folded, std::vector<uint32_t>* sources = nullptr);

class TTextSearch {
 public:
  TTextSearch();
  ~TTextSearch();
  TTextSearch(const TTextSearch&) = delete;
  TTextSearch& operator=(const TTextSearch&) = delete;

  // The pattern in Shift-JIS. False with a message for an empty pattern or a
  // regular expression that does not compile.
  bool Prepare(const std::string& pattern, const TSearchOptions& options);
  bool Ready() const { return ready_; }
  const std::string& Pattern() const { return pattern_; }
  const TSearchOptions& Options() const { return options_; }
  // Why Prepare failed or why the last search stopped (the match limit of a
  // regular expression); empty otherwise.
  const std::wstring& Error() const { return error_; }

  // The first hit that starts at or after from.
  std::optional<TSearchHit> FindForward(const TTextModel& model, size_t from);
  // The last hit that starts before before.
  std::optional<TSearchHit> FindBackward(const TTextModel& model, size_t before);
  // Every hit inside one stored line (for marking what is on screen).
  void FindInLine(const TTextModel& model, size_t line, std::vector<TSearchHit>& hits);
  // Every hit inside text[start, end), a part of one line starting on a character.
  void FindInRange(const TTextModel& model, size_t start, size_t end, std::vector<TSearchHit>& hits);

 private:
  struct TRegex;
  // Hits of text[0, length) (one line), offsets relative to it; stops after
  // the first hit at or after minStart when firstOnly.
  bool LineHits(const char* text, size_t length, std::vector<TSearchHit>& hits, bool firstOnly, size_t minStart);
  bool WholeWordAt(const char* text, size_t length, size_t start, size_t end) const;
  bool PlainAt(const char* text, size_t length, size_t start) const;
  std::optional<TSearchHit> PlainForward(const TTextModel& model, size_t from);

  bool ready_ = false;
  std::string pattern_;
  TSearchOptions options_;
  std::wstring error_;
  std::wstring foldedPattern_;
  size_t skip_[256] = {};
  unsigned char fold_[256] = {};
  std::unique_ptr<TRegex> regex_;
  // A kanji of a fuzzy pattern: it has one form only, so a plain search for
  // it finds the lines worth folding.
  std::unique_ptr<TTextSearch> anchor_;
  std::wstring wide_;
  std::vector<uint32_t> offsets_;
  std::wstring folded_;
  std::vector<uint32_t> foldSources_;
};
