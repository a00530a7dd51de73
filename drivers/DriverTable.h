// Which driver class serves which archive kind, and the content probes: the
// driver factory the archive component is built with.
#pragma once

#include "engine/Archiver.h"

#include <memory>

// The driver for a kind atLha..atBga, its library bound (CreateDriver). Raises
// ENoArchiverDLL when the library is missing, and EArchiver for a kind
// without a driver class in this build.
std::unique_ptr<TArchiver> CreateArchiver(TArchiverType kind);

// The kind of a file by its content: every probe runs, in the order TAR
// family, RAR, ARJ, ZIP, BGA, CAB, LHA, and the last one that answers yes
// wins; when none of the last six does, the TAR family probe's answer
// (atTar, atTgz, atBZ2 or atNone). Never raises.
TArchiverType ArchiveKindFromContent(const std::string& path);
