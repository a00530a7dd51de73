// Image lists, as far as the owner types name them.
#pragma once
#include <windows.h>
typedef struct _IMAGELIST* HIMAGELIST;
BOOL ImageList_Destroy(HIMAGELIST list);
