// The command line of every library: words, quotes, switches, response files
// (the input is also the response file), wildcard sets.
#include "FuzzTarget.h"
#include "../../archivers/core/ArcCore.h"

TAVIX_FUZZ_TARGET(commandline) {
  std::wstring staged = fuzz::StageInput(data, size);
  std::string line(reinterpret_cast<const char*>(data), size);
  line = line.substr(0, line.find('\0'));
  // A response file named in the line reads the staged input.
  std::string withResponse = line + " @\"" + arc::ToAnsi(staged) + "\"";
  for (const std::string* text : {&line, &withResponse}) {
    try {
      arc::Tokenize(*text);
      for (bool commandWord : {true, false}) {
        auto parsed = arc::ParseCommandLine(*text, {L"f", L"o"}, commandWord);
        arc::Switches switches(parsed.switches, {L"x", L"jm", L"r", L"f", L"o", L"-use-directory="});
        switches.Number(L"jm", 5);
        switches.Text(L"f");
        switches.All(L"r");
        switches.Unknown();
        for (auto& word : parsed.words) {
          arc::PatternSet patterns({word.text});
          patterns.Matches(L"sub/dir/file.txt");
          arc::WildcardMatch(word.text, L"日本語/ファイル.txt");
          // A listed name sent back selects the entry it was listed for.
          std::wstring listed = arc::ListedName(word.text);
          arc::PatternSet sent({listed, word.text}, true);
          sent.Learn(word.text);
          sent.Learn(L"sub/" + listed);
          if (arc::MayBeListedName(listed) && !sent.Matches(word.text)) __builtin_trap();
        }
      }
      arc::PatternSet::FromText(*text).MatchesAny(L"a/b.c");
    } catch (const arc::Error&) {
    }
  }
  return 0;
}
