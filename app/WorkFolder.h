// Per-instance work folders: WorkDir + "\~Tavix<n>".
#pragma once

#include <string>

// Creates the first WorkDir\~Tavix<n> that does not exist yet (creating
// WorkDir too when needed) and returns its path with number in created;
// false (path of number 0) when nothing could be created.
bool CreateWorkFolder(const std::wstring& workDir, std::wstring& path, int& number);
// The first WorkDir\~Tavix<n> that does not exist, without creating it.
std::wstring FreeWorkFolder(const std::wstring& workDir);
// Deletes a folder with its contents through the shell: no confirmation,
// no progress, no error messages, not into the recycle bin.
void DeleteFolderSilently(const std::wstring& folder);
// Deletes every folder of workDir whose name begins with "~Tavix".
void DeleteAllWorkFolders(const std::wstring& workDir);
