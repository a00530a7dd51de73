// Dragging entries out of the list: the selection is extracted into the work
// folder, then offered to other windows as dropped files.
#include "app/TavixMain.h"
#include "engine/TextUtil.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

namespace {

// How far the pointer moves with the button down before a drag begins.
constexpr int DragThreshold = 30;
constexpr UINT_PTR DragSubclassId = 0x5441;

std::wstring Lower(std::wstring text) {
  if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring FullPath(const std::wstring& path) {
  DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return {};
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  full.resize(length);
  return full;
}

// A file that exists and lies inside the folder (after resolving "." and "..").
bool FileInside(const std::wstring& path, const std::wstring& folder) {
  std::wstring full = Lower(FullPath(path));
  std::wstring base = Lower(FullPath(folder));
  if (full.empty() || base.empty()) return false;
  if (base.back() != L'\\') base += L'\\';
  if (full.compare(0, base.size(), base) != 0 || full.size() == base.size()) return false;
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

LRESULT CALLBACK TTavixMain::ArcListMouseProc(HWND list, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<TTavixMain*>(data);
  switch (message) {
    case WM_LBUTTONDOWN:
      self->ArcListOMouseDown(GET_X_LPARAM(l), GET_Y_LPARAM(l));
      break;
    case WM_MOUSEMOVE: {
      bool dragged = false;
      self->Guarded([&] { dragged = self->ArcListOMouseMove(w, GET_X_LPARAM(l), GET_Y_LPARAM(l)); });
      // The button came up inside the drag; the list must not go on selecting.
      if (dragged) return 0;
      break;
    }
    case WM_LBUTTONUP:
      self->ArcListOMouseUp();
      break;
    case WM_LBUTTONDBLCLK: {
      LRESULT result = DefSubclassProc(list, message, w, l);
      self->state_.dragging = self->state_.dropping = false;
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, ArcListMouseProc, DragSubclassId);
      break;
  }
  return DefSubclassProc(list, message, w, l);
}

void TTavixMain::InstallDragOut() {
  SetWindowSubclass(arcList_.Handle(), ArcListMouseProc, DragSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void TTavixMain::ArcListOMouseDown(int x, int y) {
  if (state_.records.empty()) return;
  state_.dropping = true;
  state_.mouseDownPoint = {x, y};
}

bool TTavixMain::ArcListOMouseMove(WPARAM keys, int x, int y) {
  if (!state_.dropping || !(keys & MK_LBUTTON) || state_.dragging || state_.busy) return false;
  if (std::abs(x - state_.mouseDownPoint.x) < DragThreshold && std::abs(y - state_.mouseDownPoint.y) < DragThreshold)
    return false;
  if (state_.records.empty()) return false;
  DragOut();
  return true;
}

void TTavixMain::ArcListOMouseUp() { state_.dragging = state_.dropping = false; }

void TTavixMain::DragOut() {
  state_.dragging = true;
  // The drag ends with the button up, which the drag itself takes.
  TScopeExit done([this] { state_.dragging = state_.dropping = false; });
  EnsureWorkFolder();
  std::wstring work = state_.workFolder;
  while (!work.empty() && work.back() == L'\\') work.pop_back();
  if (work.empty()) return;

  std::vector<const TListRecord*> chosen;
  for (int item : arcList_.SelectedItems())
    if (item >= 0 && item < static_cast<int>(state_.records.size())) chosen.push_back(&state_.records[item]);
  if (chosen.empty()) return;

  // Entries of one name from different folders would land on one work file,
  // and the target would get the last one's content under every name: those
  // keep their folders inside the work folder instead.
  std::map<std::wstring, int> sameName;
  for (const TListRecord* record : chosen) ++sameName[Lower(record->name)];
  std::vector<std::string> flat, withFolders;
  std::vector<std::wstring> dragNames;
  for (const TListRecord* record : chosen) {
    std::wstring entry = EntryPath(*record);
    if (sameName[Lower(record->name)] > 1) {
      std::wstring relative = entry;
      std::replace(relative.begin(), relative.end(), L'/', L'\\');
      withFolders.push_back(WideToAnsi(entry));
      dragNames.push_back(work + L"\\" + relative);
    } else {
      flat.push_back(WideToAnsi(entry));
      dragNames.push_back(work + L"\\" + record->name);
    }
  }

  TArchiverOptions& options = arc_->Options();
  options.x = 0;
  options.r = 0;
  if (!flat.empty()) ExtractStep(flat, work, TExtractMode::Temporary);
  if (!withFolders.empty()) ExtractStep(withFolders, work, TExtractMode::WithFolders);

  // Only files that the extraction really wrote inside the work folder are
  // offered: a name that tried to leave it, or one that failed, is not; a
  // path is offered once.
  std::vector<std::wstring> offered;
  std::set<std::wstring> seen;
  for (const std::wstring& name : dragNames) {
    if (!FileInside(name, work)) continue;
    std::wstring full = FullPath(name);
    if (seen.insert(Lower(full)).second) offered.push_back(full);
  }
  if (offered.empty()) return;
  dropSourceEx1_.Files = offered;
  dropSourceEx1_.Execute();
}
