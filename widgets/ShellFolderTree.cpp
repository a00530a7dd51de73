#include "widgets/ShellFolderTree.h"

#include "engine/Handles.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <vector>

namespace {

constexpr UINT_PTR SubclassId = 0x5346;  // "SF"

// The children of a node are added when it is first expanded; until then a
// node that may have sub-folders shows a button through cChildren.
std::wstring DisplayName(PCIDLIST_ABSOLUTE pidl) {
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME);
  return info.szDisplayName;
}

int IconIndex(PCIDLIST_ABSOLUTE pidl, bool open) {
  SHFILEINFOW info{};
  UINT flags = SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (open ? SHGFI_OPENICON : 0);
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof info, flags);
  return info.iIcon;
}

struct Child {
  std::wstring name;
  PIDLIST_ABSOLUTE pidl;
  bool hasChildren;
};

}  // namespace

TShellFolderTree::~TShellFolderTree() {
  if (tree_ != nullptr) {
    FreeNodes(TVI_ROOT);
    RemoveWindowSubclass(tree_, SubclassProc, SubclassId);
  }
}

void TShellFolderTree::Attach(HWND treeView) {
  tree_ = treeView;
  SHFILEINFOW info{};
  images_ = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(L"C:\\", 0, &info, sizeof info,
                                                        SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  TreeView_SetImageList(tree_, images_, TVSIL_NORMAL);
  SetWindowSubclass(tree_, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
  Rebuild();
}

void TShellFolderTree::FreeNodes(HTREEITEM node) {
  for (HTREEITEM child = TreeView_GetChild(tree_, node); child != nullptr;
       child = TreeView_GetNextSibling(tree_, child)) {
    FreeNodes(child);
    CoTaskMemFree(NodePidl(child));
  }
}

void TShellFolderTree::Rebuild() {
  SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  FreeNodes(TVI_ROOT);
  TreeView_DeleteAllItems(tree_);
  PIDLIST_ABSOLUTE root = nullptr;
  desktop_ = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &root))) {
    desktop_ = AddNode(TVI_ROOT, root, true);
    TreeView_Expand(tree_, desktop_, TVE_EXPAND);
    // A tree without a selection selects its first node when it gets the
    // focus; choosing the desktop here makes that the default from the start.
    TreeView_SelectItem(tree_, desktop_);
  }
  SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(tree_, nullptr, TRUE);
}

HTREEITEM TShellFolderTree::AddNode(HTREEITEM parent, PIDLIST_ABSOLUTE pidl, bool hasChildren) {
  std::wstring name = parent == TVI_ROOT ? DesktopName : DisplayName(pidl);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = name.data();
  insert.item.lParam = reinterpret_cast<LPARAM>(pidl);
  insert.item.cChildren = hasChildren ? 1 : 0;
  insert.item.iImage = IconIndex(pidl, false);
  insert.item.iSelectedImage = IconIndex(pidl, true);
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

PIDLIST_ABSOLUTE TShellFolderTree::NodePidl(HTREEITEM node) const {
  TVITEMW item{};
  item.mask = TVIF_PARAM | TVIF_HANDLE;
  item.hItem = node;
  if (!TreeView_GetItem(tree_, &item)) return nullptr;
  return reinterpret_cast<PIDLIST_ABSOLUTE>(item.lParam);
}

void TShellFolderTree::Expand(HTREEITEM node) {
  if (TreeView_GetChild(tree_, node) != nullptr) return;  // already filled
  PIDLIST_ABSOLUTE pidl = NodePidl(node);
  TComPtr<IShellFolder> desktop;
  TComPtr<IShellFolder> folder;
  if (FAILED(SHGetDesktopFolder(desktop.put()))) return;
  HRESULT bound = S_OK;
  if (ILIsEmpty(pidl)) {
    desktop->AddRef();
    folder.reset(desktop.get());
  } else {
    bound = desktop->BindToObject(pidl, nullptr, IID_IShellFolder, folder.put_void());
  }
  desktop.reset();
  if (FAILED(bound)) return;
  std::vector<Child> children;
  TComPtr<IEnumIDList> items;
  if (folder->EnumObjects(tree_, SHCONTF_FOLDERS, items.put()) == S_OK) {
    PITEMID_CHILD child = nullptr;
    while (items->Next(1, &child, nullptr) == S_OK) {
      SFGAOF attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR | SFGAO_FILESYSTEM;
      PCUITEMID_CHILD list[] = {child};
      folder->GetAttributesOf(1, list, &attributes);
      // Only folders that lead to files: no control panel, printers and the like.
      if ((attributes & SFGAO_FOLDER) && (attributes & (SFGAO_FILESYSANCESTOR | SFGAO_FILESYSTEM))) {
        PIDLIST_ABSOLUTE full = ILCombine(pidl, child);
        children.push_back({DisplayName(full), full, (attributes & SFGAO_HASSUBFOLDER) != 0});
      }
      CoTaskMemFree(child);
    }
    items.reset();
  }
  folder.reset();
  // Folders in name order; the desktop's own items keep the shell's order.
  if (node != desktop_)
    std::sort(children.begin(), children.end(), [](const Child& a, const Child& b) {
      return StrCmpLogicalW(a.name.c_str(), b.name.c_str()) < 0;
    });
  for (auto& child : children) AddNode(node, child.pidl, child.hasChildren);
  if (children.empty()) {
    TVITEMW item{};
    item.mask = TVIF_CHILDREN | TVIF_HANDLE;
    item.hItem = node;
    item.cChildren = 0;
    TreeView_SetItem(tree_, &item);
  }
}

bool TShellFolderTree::Notify(const NMHDR* header) {
  if (header->hwndFrom != tree_ || header->code != TVN_ITEMEXPANDINGW) return false;
  auto change = reinterpret_cast<const NMTREEVIEWW*>(header);
  if (change->action & TVE_EXPAND) Expand(change->itemNew.hItem);
  return true;
}

std::wstring TShellFolderTree::NodePath(HTREEITEM node) const {
  if (node == nullptr) return {};
  if (node == desktop_) return DesktopName;
  wchar_t path[MAX_PATH] = L"";  // the call's contract is a MAX_PATH buffer
  if (!SHGetPathFromIDListW(NodePidl(node), path)) return {};
  return path;
}

std::wstring TShellFolderTree::SelectedPath() const { return NodePath(TreeView_GetSelection(tree_)); }

bool TShellFolderTree::SelectPath(const std::wstring& path) {
  if (path.empty() || desktop_ == nullptr) return false;
  if (path == DesktopName) {
    TreeView_SelectItem(tree_, desktop_);
    return true;
  }
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  PIDLIST_ABSOLUTE target = nullptr;
  if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &target, 0, nullptr))) return false;
  // Walk down from the desktop, always into the child that contains the target.
  HTREEITEM node = desktop_;
  bool found = ILIsEqual(NodePidl(node), target);
  while (!found) {
    Expand(node);
    HTREEITEM next = nullptr;
    for (HTREEITEM child = TreeView_GetChild(tree_, node); child != nullptr && next == nullptr;
         child = TreeView_GetNextSibling(tree_, child)) {
      PIDLIST_ABSOLUTE pidl = NodePidl(child);
      if (ILIsEqual(pidl, target)) {
        found = true;
        next = child;
      } else if (ILIsParent(pidl, target, FALSE)) {
        next = child;
      }
    }
    if (next == nullptr) break;
    node = next;
  }
  CoTaskMemFree(target);
  if (!found) return false;
  TreeView_SelectItem(tree_, node);
  TreeView_EnsureVisible(tree_, node);
  return true;
}

LRESULT CALLBACK TShellFolderTree::SubclassProc(HWND window, UINT message, WPARAM w, LPARAM l,
                                                UINT_PTR, DWORD_PTR data) {
  auto self = reinterpret_cast<TShellFolderTree*>(data);
  // Expanding by program (TVM_EXPAND) sends no notification.
  if (message == TVM_EXPAND && (w & TVE_EXPAND)) self->Expand(reinterpret_cast<HTREEITEM>(l));
  if (message == WM_DESTROY) {
    self->FreeNodes(TVI_ROOT);
    RemoveWindowSubclass(window, SubclassProc, SubclassId);
    self->tree_ = nullptr;
  }
  return DefSubclassProc(window, message, w, l);
}
