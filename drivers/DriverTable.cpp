#include "DriverTable.h"

#include "Arj.h"
#include "Lha.h"

// Registration point of the drivers: a new family adds its row to
// CreateArchiver and its probe to the probe table, nothing else.

std::unique_ptr<TArchiver> CreateArchiver(TArchiverType kind) {
  switch (kind) {
    case atLha: return CreateDriver<TCLHA32>();
    case atArj: return CreateDriver<TCARJ32>();
    default:
      throw EArchiver(L"この形式の書庫を扱う機能が組み込まれていません。");
  }
}

namespace {

// The TAR family probe answers with the kind itself.
TArchiverType TarFamilyKind(const std::string&) { return atNone; }

struct TProbe {
  TArchiverType kind;
  bool (*test)(const std::string& path);
};

// After the TAR family, in the order they run; the last yes wins.
const TProbe Probes[] = {
    {atRar, nullptr},
    {atArj, IsArjArchive},
    {atZip, nullptr},
    {atBga, nullptr},
    {atCab, nullptr},
    {atLha, IsLhaArchive},
};

}  // namespace

TArchiverType ArchiveKindFromContent(const std::string& path) {
  TArchiverType kind = atNone;
  try {
    kind = TarFamilyKind(path);
  } catch (...) {
    // A probe that fails answers "not this kind".
  }
  for (const auto& probe : Probes) {
    if (probe.test == nullptr) continue;
    bool yes = false;
    try {
      yes = probe.test(path);
    } catch (...) {
      // As above: a failing probe is a no.
    }
    if (yes) kind = probe.kind;
  }
  return kind;
}
