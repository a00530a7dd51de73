// Control ids of the environment dialogs (5000+).
#pragma once

#define IDD_FILEENV 5000
#define IDC_FE_ENVLIST 5001
#define IDC_FE_PANEL 5002
#define IDC_FE_EDIT1 5003
#define IDC_FE_EDIT2 5004
#define IDC_FE_UPD 5005
#define IDC_FE_LOAD 5006
#define IDC_FE_SAVE 5007
#define IDC_FE_DEL 5008
#define IDC_FE_PROP 5009
#define IDC_FE_OK 5010

#define IDD_ENVSAVEAS 5020
#define IDC_ES_EDIT1 5021
#define IDC_ES_EDIT2 5022
#define IDC_ES_OK 5023
#define IDC_ES_CANCEL 5024
