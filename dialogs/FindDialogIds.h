// Control IDs of the find dialog.
#pragma once

#define IDD_FIND 4700

#define IDC_FIND_WORD_LABEL 4710
#define IDC_FIND_WORD 4711
#define IDC_FIND_OPTIONS 4720      // group box
#define IDC_FIND_MATCHCASE 4721
#define IDC_FIND_WHOLEWORD 4722
#define IDC_FIND_REGEXP 4723
#define IDC_FIND_FUZZY 4724
#define IDC_FIND_AREA 4725
#define IDC_FIND_STARTPANEL 4730   // group box
#define IDC_FIND_FROMHERE 4731
#define IDC_FIND_FROMTOP 4732
#define IDC_FIND_UP 4740
#define IDC_FIND_DOWN 4741
#define IDC_FIND_CANCEL 4742
