// Viewing an entry: extracted to the work folder, shown in the viewer, deleted after.
#include "app/ClipboardFiles.h"
#include "app/MainTexts.h"
#include "app/TavixMain.h"
#include "engine/TextUtil.h"
#include "viewer/Viewer.h"
#include "viewer/ViewerTexts.h"

#include <cwctype>

namespace {

// The entry's size from its list text (digits with the locale's separators).
unsigned long long ListedSize(const TListRecord& record) {
  unsigned long long size = 0;
  for (const wchar_t* c = record.size; *c; ++c)
    if (std::iswdigit(*c)) size = size * 10 + static_cast<unsigned long long>(*c - L'0');
  return size;
}

}  // namespace

bool TTavixMain::ViewFile(const std::wstring& path) {
  TViewerOptions options;
  options.useSpis = settings_.UseSpis;
  options.grpAutoSize = settings_.GrpAutoSize;
  options.spisDir = settings_.SpisDir;
  try {
    TViewer viewer(window_, ini_, options);
    viewer.Open(path);
    viewer.ShowModal();
  } catch (const EViewerError& error) {
    Message(error.Message(), MB_ICONWARNING | MB_OK);
    return false;
  } catch (const EPictureError& error) {
    Message(error.Message(), MB_ICONWARNING | MB_OK);
    return false;
  }
  return true;
}

void TTavixMain::FileView_PopClick() {
  if (state_.busy) return;
  std::vector<int> selected = arcList_.SelectedItems();
  if (selected.empty() || selected[0] < 0 || selected[0] >= static_cast<int>(state_.records.size())) return;
  // Copies: the list may change while the library works.
  const TListRecord record = state_.records[selected[0]];
  if (record.name.empty()) return;
  if (ListedSize(record) > TViewer::kMaxFileSize) {
    Message(record.name + L"\r\n" + viewer_texts::TooLarge, MB_ICONWARNING | MB_OK);
    return;
  }
  // Only a plain name is looked for in the work folder (and deleted there after).
  if (!IsPlainRelativePath(record.name)) {
    ShowError(record.name + texts::EntryNotOpened);
    return;
  }
  EnsureWorkFolder();
  std::wstring path = state_.workFolder + L"\\" + record.name;
  TArchiverOptions& options = arc_->Options();
  int keptX = options.x;
  bool failed = ExtractStep({WideToAnsi(EntryPath(record))}, state_.workFolder, TExtractMode::Temporary);
  options.x = keptX;
  if (failed || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ShowError(record.name + texts::EntryNotOpened);
  } else {
    ViewFile(path);
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
}
