// Control IDs of the file and folder picker and its new-folder panel.
#pragma once

#define IDD_BROWSE 3300
#define IDD_BROWSE_MKDIR 3301

#define IDC_BROWSE_LABEL2 3310
#define IDC_BROWSE_HISTORY 3311
#define IDC_BROWSE_TOOLBAR 3312
#define IDC_BROWSE_TREE 3313
#define IDC_BROWSE_FILES 3314
#define IDC_BROWSE_LABEL1 3315
#define IDC_BROWSE_FNAME 3316
#define IDC_BROWSE_OK 3317
#define IDC_BROWSE_CANCEL 3318

// Tool buttons (commands of the toolbar).
#define IDC_BROWSE_UP 3320        // SpeedButton1
#define IDC_BROWSE_NEWFOLDER 3321 // SpeedButton4
#define IDC_BROWSE_LIST 3322      // SpeedButton2
#define IDC_BROWSE_DETAILS 3323   // SpeedButton3

#define IDC_BROWSE_LABEL3 3330
#define IDC_BROWSE_EDIT1 3331
#define IDC_BROWSE_BITBTN3 3332
#define IDC_BROWSE_BITBTN4 3333
