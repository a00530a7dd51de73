// The viewer's own JPEG road: a JPEG file decoded with libjpeg-turbo into a
// bitmap for the picture control (progressive, CMYK, EXIF orientation).
#pragma once

#include <string>

#include "../engine/Handles.h"

// The bitmap, or none with error set to the image plug-in family's code
// (2 not JPEG, 3 broken, 4 too large, 6 unreadable).
TBitmap LoadJpegPicture(const std::wstring& path, int& error);
