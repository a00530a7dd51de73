// File lists on the clipboard: the file-drop block offered to other programs,
// reading one that another program put there, and which paths either may hold.
// No windows: tests call them directly.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// A movable block in the file-drop layout (header, each path with its NUL,
// the empty name ending the list), in wide characters and sized to the
// paths, so that none is cut or overflows. Null when memory is short.
HGLOBAL MakeFileDropBlock(const std::vector<std::wstring>& paths);

// The names of a file-drop block of size bytes. Nothing in it is trusted:
// the name list's offset and width come from the header and are checked, a
// name ends at its NUL, the list at an empty name or at the block's end; a
// name that the block's end cuts off is left out, so is one longer than any
// path can be.
std::vector<std::wstring> ReadFileDropList(const void* block, size_t size);

// A full path that names one thing plainly: a drive ("C:\") or network
// ("\\server\share\") path without wildcards, without "." or ".." parts,
// empty parts, device or long-path prefixes, or stream names.
bool IsPlainFullPath(const std::wstring& path);

// An entry path ("/" or "\" between parts) that stays below the folder it is
// extracted into: relative, every part a plain name (not empty, not "." or
// "..", no drive or stream colon, no wildcard).
bool IsPlainRelativePath(const std::wstring& path);
