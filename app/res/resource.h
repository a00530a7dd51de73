// Resource and command identifiers of the main window.
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

#define IDR_MAINMENU 200
#define IDR_LISTPOPUP 201
#define IDR_DROPDOWNS 202

// Main menu "ﾌｧｲﾙ(&F)"
#define IDM_FILE_NEW 1001
#define IDM_FILE_OPEN 1002
#define IDM_FILE_SAVEAS 1003
#define IDM_FILE_SEND 1004
#define IDM_FILE_PROP 1005
#define IDM_FILE_EXIT 1006
// "編集(&E)"; the list's pop-up menu uses the same commands
#define IDM_EDIT_COPY 1101
#define IDM_EDIT_PASTE 1102
#define IDM_EDIT_SELALL 1103
#define IDM_EDIT_INSTALL 1104
#define IDM_EDIT_OPEN 1105
#define IDM_EDIT_MELT 1106
#define IDM_EDIT_DELETE 1107
#define IDM_EDIT_ADD 1108
#define IDM_EDIT_VIEW 1109
#define IDM_SFX_WIZARD 1110
#define IDM_SFX_DOS16 1111
#define IDM_SFX_WIN16 1112
#define IDM_SFX_WIN32 1113
#define IDM_SFX_WIN32M 1114
#define IDM_POP_PROP 1115
// "表示(&V)"
#define IDM_VIEW_OPTIONS 1201
#define IDM_VIEW_FILEBAR 1202
#define IDM_VIEW_MELTOPBAR 1203
#define IDM_VIEW_CUSTOMIZE 1204
#define IDM_VIEW_LARGE 1205
#define IDM_VIEW_SMALL 1206
#define IDM_VIEW_LIST 1207
#define IDM_VIEW_REPORT 1208
// "ﾍﾙﾌﾟ(&H)"
#define IDM_HELP_CONTENTS 1301
#define IDM_HELP_SEARCH 1302
#define IDM_HELP_ABOUT 1303
// Drop-down menus of the toolbar buttons
#define IDM_MELT_DESKTOP 1401
#define IDM_MELT_ARCDIR 1402
#define IDM_ADD_STANDARD 1411
#define IDM_ADD_EXTENDED 1412
#define IDM_SFXB_WIZARD 1421
#define IDM_SFXB_DOS16 1422
#define IDM_SFXB_WIN16 1423
#define IDM_SFXB_WIN32 1424
#define IDM_SFXB_WIN32M 1425
#define IDM_ICONB_LARGE 1431
#define IDM_ICONB_SMALL 1432
#define IDM_ICONB_LIST 1433
#define IDM_ICONB_REPORT 1434
// Items built at run time: recent archives and previous extraction folders
#define IDM_REOPEN_FIRST 1500
#define IDM_REOPEN_LAST 1599
#define IDM_MELTHISTORY_FIRST 1600
#define IDM_MELTHISTORY_LAST 1699

// Command toolbar FileBar, in toolbar order (separators have numbers too, so
// that they can be hidden like buttons)
#define IDT_FILENEW 2000
#define IDT_FILEOOPEN 2001
#define IDT_SAVEAS 2002
#define IDT_FILEPROP 2003
#define IDT_TSEP1 2004
#define IDT_COPY 2005
#define IDT_PASTE 2006
#define IDT_TSEP2 2007
#define IDT_FILEMELT 2008
#define IDT_FILEADD 2009
#define IDT_FILEDELETE 2010
#define IDT_TSEP3 2011
#define IDT_FILEVIEW 2012
#define IDT_FILEOPEN 2013
#define IDT_INSTALL 2014
#define IDT_MAKESFX 2015
#define IDT_TSEP4 2016
#define IDT_TOOL 2017
#define IDT_TOOLBARSEP974 2018
#define IDT_ICON 2019
#define IDT_HELP 2020
#define IDT_HELPSRC 2021
#define IDT_TSEP5 2022
#define IDT_EXIT 2023

// Child windows
#define IDC_ARCLIST 3001
#define IDC_STATUSBAR 3002

// The extraction-options toolbar MeltOpBar, left to right
#define IDC_MELTOP_LABEL 3010
#define IDC_ALLFILE 3011
#define IDC_OVERWRITE 3012
#define IDC_MKSUBDIR 3013
#define IDC_NONDIR 3014
#define IDC_ABSDIR 3015
#define IDC_RELDIR 3016
