// The viewer's print command: the print dialog over the editor's stored lines.
#include "Viewer.h"

#include "PrintDialog.h"

#include <vector>

namespace {

// The editor's font as a window font: its face and size at the screen's
// resolution. The printer draws every text in black.
LOGFONTW EditorFont(const TEditorSettings& settings) {
  LOGFONTW font{};
  HDC screen = GetDC(nullptr);
  font.lfHeight = -MulDiv(settings.fontSize, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynW(font.lfFaceName, settings.fontName.c_str(), LF_FACESIZE);
  return font;
}

}  // namespace

void TViewer::PrintBtnClick() {
  const TTextModel& model = editor_.Model();
  std::vector<std::string> lines;
  lines.reserve(model.LineCount());
  size_t count = model.LineCount();
  // The empty line after a final line break is no line of the text.
  if (count > 1 && model.LineLength(count - 1) == 0) --count;
  for (size_t line = 0; line < count; ++line)
    lines.emplace_back(model.Data() + model.LineStart(line), model.LineLength(line));
  PrintLines(window_, lines, EditorFont(editor_.Settings()), editor_.Settings().tabSize, fileName_, ini_.FullPath());
}
