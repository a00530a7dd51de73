// Viewing an entry: extracted to the work folder, shown in the viewer, deleted after.
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
  std::vector<int> selected = arcList_.SelectedItems();
  if (selected.empty() || selected[0] < 0 || selected[0] >= static_cast<int>(state_.records.size())) return;
  const TListRecord& record = state_.records[selected[0]];
  if (ListedSize(record) > TViewer::kMaxFileSize) {
    Message(record.name + L"\r\n" + viewer_texts::TooLarge, MB_ICONWARNING | MB_OK);
    return;
  }
  EnsureWorkFolder();
  std::wstring folder = state_.workFolder;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  std::wstring path = folder + record.name;
  bool failed = ExtractStep({WideToAnsi(EntryPath(record))}, state_.workFolder, TExtractMode::Temporary);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (!failed || !state_.extractFailureShown) Message(path + L"\r\nファイルを取り出せませんでした.", MB_ICONWARNING | MB_OK);
    return;
  }
  ViewFile(path);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
}
