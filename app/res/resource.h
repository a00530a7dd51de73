// Resource and control identifiers of the main window. Command ids come from
// the command table (app/Commands.h).
#pragma once

// Icons: the order of these numbers is the icon index file associations use
// (0 program, 1 LZH archive, 2 ZIP archive).
#define IDI_TAVIX 1
#define IDI_LZH 2
#define IDI_ZIP 3

#define IDB_TOOLBAR24 101
#define IDB_TOOLBAR24_DISABLED 102
#define IDB_TOOLBAR32 103
#define IDB_TOOLBAR32_DISABLED 104
#define IDB_STATUS 105

// Child windows
#define IDC_ARCLIST 3001
#define IDC_STATUSBAR 3002

// The extraction options bar (MeltOpBar), left to right
#define IDC_OPTIONS_LABEL 3010
#define IDC_ALLFILE 3011
#define IDC_OVERWRITE 3012
#define IDC_MKSUBDIR 3013
#define IDC_NONDIR 3014
#define IDC_ABSDIR 3015
#define IDC_RELDIR 3016
