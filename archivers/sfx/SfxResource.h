// Control IDs of the stubs' destination dialog.
#pragma once

#define IDD_SFX_FOLDER 100
#define IDC_SFX_LABEL 101
#define IDC_SFX_FOLDER 102
#define IDC_SFX_BROWSE 103
