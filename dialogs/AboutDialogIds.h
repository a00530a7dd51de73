// Control IDs of the about box.
#pragma once

#define IDD_ABOUT 3700
#define IDC_ABOUT_PANEL 3701
#define IDC_ABOUT_LOGO 3702
#define IDC_ABOUT_VERSION_LABEL 3703
#define IDC_ABOUT_VER 3704
#define IDC_ABOUT_NOTICE 3705
#define IDC_ABOUT_WEB 3706
#define IDC_ABOUT_MAIL 3707
