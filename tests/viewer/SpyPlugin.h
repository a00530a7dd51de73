// What the spy image plug-in is told to return, and what it saw.
#pragma once

#include <windows.h>

#pragma pack(push, 1)
struct SpyPictureInfo {
  LONG left, top, width, height;
  WORD x_density, y_density;
  SHORT colorDepth;
  HLOCAL hInfo;
};
#pragma pack(pop)

struct SpyConfig {
  int infoCode[2];     // GetPictureInfo's result at offset 0, and elsewhere
  int pictureCode[2];  // GetPicture's likewise
  WORD xDensity, yDensity;
  LONG width, height;
  int bitCount;    // 8 (with a palette) or 24
  bool textInfo;   // hand out a text-information handle
  bool shortBits;  // a pixel block smaller than the header says
};

struct SpyLog {
  int infoCalls = 0, pictureCalls = 0, previewCalls = 0;
  LONG_PTR infoOffsets[8] = {}, pictureOffsets[8] = {}, previewOffsets[8] = {};
  bool textInfoGiven = false;
};
