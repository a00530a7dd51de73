// The exported entries of one of our three ZIP libraries; CMake compiles this
// file once per library with ZIP_LIBRARY_UNZIP32, _ZIP32J or _QXZIP32.
//   UNZIP32: the UnZip command, listing, check, memory extraction.
//   ZIP32J:  the Zip command plus the same listing set under "UnZip" names.
//   QXZIP32: both commands, every name spelled "Unzip".
// Tavix asks for the write-time query as "UnzipGetWriteTimeEx" in every one
// of them, so that spelling is exported too.
#include "archivers/zip/ZipCommands.h"

#if defined(ZIP_LIBRARY_QXZIP32)
#define ZIP_LISTING_PREFIX Unzip
#else
#define ZIP_LISTING_PREFIX UnZip
#endif

#if defined(ZIP_LIBRARY_UNZIP32) || defined(ZIP_LIBRARY_QXZIP32)
ARC_EXPORT_COMMAND(ZIP_LISTING_PREFIX, zip::RunUnZip)
ARC_EXPORT_COMMON(ZIP_LISTING_PREFIX, 600)
#endif

#if defined(ZIP_LIBRARY_ZIP32J) || defined(ZIP_LIBRARY_QXZIP32)
ARC_EXPORT_COMMAND(Zip, zip::RunZip)
#endif

#if defined(ZIP_LIBRARY_ZIP32J)
ARC_EXPORT_COMMON(Zip, 300)
#endif

ARC_EXPORT_LISTING(ZIP_LISTING_PREFIX, zip::OpenListing, zip::CheckZip)
ARC_EXPORT_EXTRACTMEM(ZIP_LISTING_PREFIX, zip::ExtractMem)

#if !defined(ZIP_LIBRARY_QXZIP32)
ARC_EXPORT BOOL WINAPI UnzipGetWriteTimeEx(HARC handle, FILETIME* time) { return arc::EntryTime(handle, 0, time); }
#endif
