#include "drivers/DriverTable.h"

#include "drivers/Arj.h"
#include "drivers/Bga.h"
#include "drivers/Cab.h"
#include "drivers/DriverTexts.h"
#include "drivers/Lha.h"
#include "drivers/Rar.h"
#include "drivers/Tar.h"
#include "drivers/Zip.h"
#include "engine/ArchiveFile.h"

// Registration point of the drivers: a new family adds its row to
// CreateArchiver and its probe to the probe table, nothing else.

std::unique_ptr<TArchiver> CreateArchiver(TArchiverType kind) {
  switch (kind) {
    case atLha: return CreateDriver<TCLHA32>();
    case atZip: return CreateDriver<TCZIP32>();
    case atCab: return CreateDriver<TCCAB32>();
    case atArj: return CreateDriver<TCARJ32>();
    case atTar: return CreateDriver<TCTAR32>();
    case atTgz: return CreateDriver<TTgz32>();
    case atBZ2: return CreateDriver<TBZ232>();
    case atRar: return CreateDriver<TRar32>();
    case atBga: return CreateDriver<TBGA32>();
    default: throw EArchiver(driver_texts::FormatNotBuiltIn);
  }
}

namespace {

struct TProbe {
  TArchiverType kind;
  bool (*test)(const std::string& path);
};

// After the TAR family, in the order they run; the last yes wins.
const TProbe Probes[] = {
    {atRar, IsRarArchive},
    {atArj, IsArjArchive},
    {atZip, IsZipArchive},
    {atBga, IsBgaArchive},
    {atCab, IsCabArchive},
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

// The archive component is built with this table unless it is given another;
// the engine itself names no driver.
TArchiveFile::TArchiveFile() : TArchiveFile(TDriverFactory{CreateArchiver, ArchiveKindFromContent}) {}
