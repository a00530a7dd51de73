// The C interface of the common archiver library family: records, modes,
// states and result codes. Our own libraries export it and Tavix calls it
// (engine/ArchiverApi.h adds what Tavix keeps beside it); the tests read the
// same records. Header only and free of Tavix, since the libraries are
// outside products that share nothing else with it.
#pragma once

#include <windows.h>

#include <cstddef>

typedef HGLOBAL HARC;

constexpr int FNAME_MAX32 = 512;

#pragma pack(push, 1)
struct INDIVIDUALINFO {
  DWORD dwOriginalSize;
  DWORD dwCompressedSize;
  DWORD dwCRC;
  UINT uFlag;
  UINT uOSType;
  WORD wRatio;  // per mille
  WORD wDate;   // DOS date, local time
  WORD wTime;
  char szFileName[FNAME_MAX32 + 1];
  char dummy1[3];
  char szAttribute[8];
  char szMode[8];
};

struct EXTRACTINGINFO {
  DWORD dwFileSize;
  DWORD dwWriteSize;
  char szSourceFileName[FNAME_MAX32 + 1];
  char dummy1[3];
  char szDestFileName[FNAME_MAX32 + 1];
  char dummy[3];
};

// The progress record continues the short one; its fields read as one flat
// record (info->szSourceFileName, info->dwCompressedSize).
struct EXTRACTINGINFOEX : EXTRACTINGINFO {
  DWORD dwCompressedSize;
  DWORD dwCRC;
  UINT uOSType;
  WORD wRatio;
  WORD wDate;
  WORD wTime;
  char szAttribute[8];
  char szMode[8];
};
#pragma pack(pop)

using LPINDIVIDUALINFO = INDIVIDUALINFO*;
using LPEXTRACTINGINFO = EXTRACTINGINFO*;
using LPEXTRACTINGINFOEX = EXTRACTINGINFOEX*;

static_assert(sizeof(INDIVIDUALINFO) == 558, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, dwCompressedSize) == 4, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, dwCRC) == 8, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, uFlag) == 12, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, uOSType) == 16, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, wRatio) == 20, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, wDate) == 22, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, wTime) == 24, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, szFileName) == 26, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, dummy1) == 539, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, szAttribute) == 542, "entry record layout");
static_assert(offsetof(INDIVIDUALINFO, szMode) == 550, "entry record layout");
static_assert(sizeof(EXTRACTINGINFO) == 1040, "progress record layout");
static_assert(offsetof(EXTRACTINGINFO, dwWriteSize) == 4, "progress record layout");
static_assert(offsetof(EXTRACTINGINFO, szSourceFileName) == 8, "progress record layout");
static_assert(offsetof(EXTRACTINGINFO, dummy1) == 521, "progress record layout");
static_assert(offsetof(EXTRACTINGINFO, szDestFileName) == 524, "progress record layout");
static_assert(offsetof(EXTRACTINGINFO, dummy) == 1037, "progress record layout");
static_assert(sizeof(EXTRACTINGINFOEX) == 1074, "progress record layout");
// A derived record is not standard-layout, which offsetof only warns about;
// the packed layout is what the library family fixes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(EXTRACTINGINFOEX, dwCompressedSize) == 1040, "progress record layout");
static_assert(offsetof(EXTRACTINGINFOEX, dwCRC) == 1044, "progress record layout");
static_assert(offsetof(EXTRACTINGINFOEX, uOSType) == 1048, "progress record layout");
static_assert(offsetof(EXTRACTINGINFOEX, wRatio) == 1052, "progress record layout");
static_assert(offsetof(EXTRACTINGINFOEX, wDate) == 1054, "progress record layout");
static_assert(offsetof(EXTRACTINGINFOEX, wTime) == 1056, "progress record layout");
static_assert(offsetof(EXTRACTINGINFOEX, szAttribute) == 1058, "progress record layout");
static_assert(offsetof(EXTRACTINGINFOEX, szMode) == 1066, "progress record layout");
#pragma GCC diagnostic pop

// Callback alternative to the window message; returning FALSE cancels.
typedef BOOL(CALLBACK* LPARCHIVERPROC)(HWND, UINT, UINT, LPEXTRACTINGINFOEX);

#define WM_ARCEXTRACT_NAME "wm_arcextract"
#define ARCEXTRACT_BEGIN 0
#define ARCEXTRACT_INPROCESS 1
#define ARCEXTRACT_END 2
#define ARCEXTRACT_OPEN 3
#define ARCEXTRACT_COPY 4

// OpenArchive modes.
#define M_INIT_FILE_USE 0x00000001L
#define M_REGARDLESS_INIT_FILE 0x00000002L
#define M_CHECK_ALL_PATH 0x00000100L
#define M_CHECK_FILENAME_ONLY 0x00000200L
#define M_ERROR_MESSAGE_ON 0x00400000L
#define M_ERROR_MESSAGE_OFF 0x00800000L

// CheckArchive modes.
#define CHECKARCHIVE_RAPID 0
#define CHECKARCHIVE_BASIC 1
#define CHECKARCHIVE_FULLCRC 2
#define CHECKARCHIVE_RECOVERY 4
#define CHECKARCHIVE_SFX 8
#define CHECKARCHIVE_ALL 16
#define CHECKARCHIVE_ENDDATA 32

// OS types.
#define OSTYPE_MSDOS 0
#define OSTYPE_UNIX 2
#define OSTYPE_MAC 4
#define OSTYPE_OS2 5
#define OSTYPE_OTHER 10
#define OSTYPE_NTFS 21

// Result codes: 0x8005-0x8011 skip one entry, 0x8012 and above stop the command.
#define ERROR_DISK_SPACE 0x8005
#define ERROR_READ_ONLY 0x8006
#define ERROR_USER_SKIP 0x8007
#define ERROR_UNKNOWN_TYPE 0x8008
#define ERROR_METHOD 0x8009
#define ERROR_PASSWORD_FILE 0x800A
#define ERROR_VERSION 0x800B
#define ERROR_FILE_CRC 0x800C
#define ERROR_FILE_OPEN 0x800D
#define ERROR_MORE_FRESH 0x800E
#define ERROR_NOT_EXIST 0x800F
#define ERROR_ALREADY_EXIST 0x8010
#define ERROR_TOO_MANY_FILES 0x8011
#define ERROR_MAKEDIRECTORY 0x8012
#define ERROR_CANNOT_WRITE 0x8013
#define ERROR_HUFFMAN_CODE 0x8014
#define ERROR_COMMENT_HEADER 0x8015
#define ERROR_HEADER_CRC 0x8016
#define ERROR_HEADER_BROKEN 0x8017
#define ERROR_ARC_FILE_OPEN 0x8018
#define ERROR_NOT_ARC_FILE 0x8019
#define ERROR_CANNOT_READ 0x801A
#define ERROR_FILE_STYLE 0x801B
#define ERROR_COMMAND_NAME 0x801C
#define ERROR_MORE_HEAP_MEMORY 0x801D
#define ERROR_ENOUGH_MEMORY 0x801E
#define ERROR_ALREADY_RUNNING 0x801F
#define ERROR_USER_CANCEL 0x8020
#define ERROR_HARC_ISNOT_OPENED 0x8021
#define ERROR_NOT_SEARCH_MODE 0x8022
#define ERROR_NOT_SUPPORT 0x8023
#define ERROR_TIME_STAMP 0x8024
#define ERROR_TMP_OPEN 0x8025
#define ERROR_LONG_FILE_NAME 0x8026
#define ERROR_ARC_READ_ONLY 0x8027
#define ERROR_SAME_NAME_FILE 0x8028
#define ERROR_NOT_FIND_ARC_FILE 0x8029
#define ERROR_RESPONSE_READ 0x802A
#define ERROR_NOT_FILENAME 0x802B
#define ERROR_TMP_COPY 0x802C
#define ERROR_EOF 0x802D
#define ERROR_SHARING 0x8030
#define ERROR_NOT_FIND_FILE 0x8031
#define ERROR_MAKE_ARCHIVE 0x8040
#define ERROR_UNEXPECTED_EOF 0x8042
#define ERROR_HDR_INVALID_SIZE 0x8046
#define ERROR_UNKNOWN_LEVEL 0x8047
#define ERROR_BROKEN_DATA 0x8048
#define ERROR_INVALID_PATH 0x8049
#define ERROR_TOO_BIG 0x804A
#define ERROR_HDR_EXPLOIT 0x804D

// A result that stopped the whole command (0x8012 and above), as opposed to
// one that skipped single entries (0x8005-0x8011) or success (0).
constexpr bool IsFatalResult(int code) { return code >= ERROR_MAKEDIRECTORY; }
// The owner window (or callback) asked the library to stop.
constexpr bool IsCancelResult(int code) { return code == ERROR_USER_CANCEL; }
