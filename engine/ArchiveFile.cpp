#include "engine/ArchiveFile.h"

#include "engine/EngineTexts.h"
#include "engine/FileCollector.h"

#include <cstring>

namespace {

// Extension -> kind; compared without regard to ASCII case.
const struct {
  const char* extension;
  TArchiverType kind;
} ExtensionKinds[] = {
    {".lzh", atLha}, {".zip", atZip}, {".cab", atCab},  {".arj", atArj}, {".rar", atRar},
    {".gza", atBga}, {".bza", atBga}, {".gca", atGCA},  {".bz2", atBZ2}, {".a", atTar},
    {".lib", atTar}, {".tar", atTar}, {".deb", atTar},  {".rpm", atTar}, {".cpio", atTar},
    {".z", atTgz},   {".gz", atTgz},  {".tgz", atTgz},  {".taz", atTgz}, {".exe", atAutoDetect},
};

// From the last dot of the file name (not of a folder) on; double-byte aware.
std::string ExtensionOf(const std::string& fileName) {
  size_t dot = std::string::npos;
  for (size_t i = 0; i < fileName.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(fileName[i])) && i + 1 < fileName.size())
      ++i;
    else if (fileName[i] == '\\' || fileName[i] == '/' || fileName[i] == ':')
      dot = std::string::npos;
    else if (fileName[i] == '.')
      dot = i;
  }
  return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

bool SameAsciiText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != b[i]) return false;
  }
  return true;
}

UINT ProgressMessage() {
  static const UINT message = RegisterWindowMessageA("wm_arcextract");
  return message;
}

const wchar_t ProgressWindowClass[] = L"TavixArchiveProgress";

}  // namespace

void TArchiveFile::RegisterProgressWindowClass(HINSTANCE instance) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ProgressWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = ProgressWindowClass;
  registered = RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

TArchiverType ArchiveKindFromExtension(const std::string& fileName) {
  std::string extension = ExtensionOf(fileName);
  for (const auto& row : ExtensionKinds)
    if (SameAsciiText(extension, row.extension)) return row.kind;
  return atNone;
}

TArchiveFile::TArchiveFile(TDriverFactory drivers)
    : drivers_(drivers), options_(std::make_unique<TArchiverOptions>()) {}

TArchiveFile::~TArchiveFile() {
  if (progressWindow_ != nullptr) DestroyWindow(progressWindow_);
  archiver_.reset();
  options_.reset();
}

void TArchiveFile::SetFileName(const std::string& fileName) {
  TArchiverType kind = ArchiveKindFromExtension(fileName);
  if (kind == atAutoDetect) kind = drivers_.kindFromContent(fileName);
  SetArchiverType(kind);
  fileName_ = fileName;
}

void TArchiveFile::SetOutputSize(int size) {
  outputBuffer_.assign(size > 0 ? static_cast<size_t>(size) : 0, '\0');
}

void TArchiveFile::SetArchiverType(TArchiverType type) {
  if (Designing) {
    archiverType_ = type;
    return;
  }
  switch (type) {
    case atLha: case atZip: case atCab: case atArj: case atTar:
    case atTgz: case atBZ2: case atRar: case atBga:
      // Created first: when its library is missing the previous driver stays.
      archiver_ = drivers_.create(type);
      archiverType_ = type;
      break;
    case atNone:
      break;
    case atAutoDetect:
      archiverType_ = type;
      break;
    default:
      if (Loading) {
        archiverType_ = type;
        break;
      }
      throw EArchiver(engine_texts::FormatNotIdentified);
  }
}

void TArchiveFile::ResolveKind() {
  if (archiverType_ == atAutoDetect) SetArchiverType(drivers_.kindFromContent(fileName_));
}

TArchiver& TArchiveFile::RequireArchiver() {
  if (!archiver_) throw EArchiver(engine_texts::FormatUnknown);
  return *archiver_;
}

LRESULT CALLBACK TArchiveFile::ProgressWindowProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  auto* self = reinterpret_cast<TArchiveFile*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || message != ProgressMessage() || !self->OnProgress)
    return DefWindowProcW(window, message, wParam, lParam);
  if (self->progressFailure_) return 1;
  bool abort = false;
  try {
    self->OnProgress(self, static_cast<int>(wParam), reinterpret_cast<LPEXTRACTINGINFOEX>(lParam),
                     abort);
  } catch (...) {
    // An exception must not unwind through the library's frames: stop the
    // command and raise it once the library has returned.
    self->progressFailure_ = std::current_exception();
    return 1;
  }
  return abort ? 1 : 0;
}

void TArchiveFile::Hook() {
  if (!OnProgress || !archiver_) return;
  try {
    ProgressMessage();
    if (progressWindow_ == nullptr) {
      HINSTANCE instance = GetModuleHandleW(nullptr);
      RegisterProgressWindowClass(instance);
      // A message-only window: it is never shown, and it exists even where
      // no display is attached (a service, a build machine).
      progressWindow_ = CreateWindowExW(0, ProgressWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, instance, nullptr);
      if (progressWindow_ == nullptr) return;
      SetWindowLongPtrW(progressWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    hooked_ = true;
    archiver_->SetOwnerWindow(progressWindow_);
  } catch (...) {
    // Without an owner window the operation runs on, without progress.
  }
}

void TArchiveFile::Unhook() {
  if (!hooked_) return;
  hooked_ = false;
  try {
    if (archiver_) archiver_->KillOwnerWindow(progressWindow_);
  } catch (...) {
    // As in Hook: progress is a convenience, never a reason to fail.
  }
}

void TArchiveFile::RethrowProgressFailure() {
  if (!progressFailure_) return;
  std::exception_ptr failure = progressFailure_;
  progressFailure_ = nullptr;
  std::rethrow_exception(failure);
}

int TArchiveFile::OpenArchive(HWND window, DWORD mode) {
  ResolveKind();
  handle_ = RequireArchiver().OpenArchive(window, fileName_, mode);
  return handle_ != nullptr ? 0 : 1;
}

int TArchiveFile::FindFirst(const std::string& wildcard, TIndividualInfo* record) {
  return archiver_ ? archiver_->FindFirst(handle_, wildcard, record) : -1;
}

int TArchiveFile::FindNext(TIndividualInfo* record) {
  return archiver_ ? archiver_->FindNext(handle_, record) : -1;
}

void TArchiveFile::CloseArchive() {
  if (archiver_ && handle_ != nullptr) archiver_->CloseArchive(handle_);
  handle_ = nullptr;
}

// Runs one driver command between Hook and Unhook; the command line is copied
// and the hook withdrawn also when the command fails.
template <typename Command>
int TArchiveFile::RunHooked(TArchiver& archiver, Command command) {
  Hook();
  int code;
  try {
    code = command(archiver);
  } catch (...) {
    lastCommandLine_ = archiver.LastCommandLine;
    Unhook();
    progressFailure_ = nullptr;
    throw;
  }
  lastCommandLine_ = archiver.LastCommandLine;
  Unhook();
  RethrowProgressFailure();
  return code;
}

int TArchiveFile::Extract(HWND window, const TArchiverOptions* options,
                          const std::string& directory, const TNameList& files) {
  const TArchiverOptions& o = options ? *options : *options_;
  TArchiver& archiver = RequireArchiver();
  int code = RunHooked(
      archiver,
      [&](TArchiver& a) {
        return a.Extract(window, fileName_, o, directory, files,
                         o.ResFileUsage.Contains(ruOnUnpack), outputBuffer_);
      });
  return code;
}

int TArchiveFile::AddWithArchiver(HWND window, const TArchiverOptions& o,
                                  const std::string& baseDirectory, const TNameList& files) {
  int code = RunHooked(
      *archiver_,
      [&](TArchiver& a) {
        return a.Add(window, fileName_, o, baseDirectory, files, o.ResFileUsage.Contains(ruOnPack),
                     outputBuffer_);
      });
  return code;
}

int TArchiveFile::Add(HWND window, const TArchiverOptions* options,
                      const std::string& baseDirectory, const TNameList& files) {
  const TArchiverOptions& o = options ? *options : *options_;
  ResolveKind();
  TArchiver& archiver = RequireArchiver();
  archiver.LoadPackDLL();
  int code;
  if (o.PackFilter == pfArchiver) {
    code = AddWithArchiver(window, o, baseDirectory, files);
  } else {
    TArchiverOptions collecting;
    collecting.Assign(o);
    bool cancel = false;
    TCollectProgress progress;
    if (OnProgress)
      progress = [this](int state, LPEXTRACTINGINFOEX record, bool& abort) {
        if (OnProgress) OnProgress(this, state, record, abort);
      };
    std::vector<std::string> collected =
        CollectFiles(collecting, baseDirectory, files, cancel, progress);
    if (cancel) {
      code = ERROR_USER_CANCEL;
    } else if (collected.empty()) {
      if (!outputBuffer_.empty()) outputBuffer_[0] = '\0';
      code = 0;
    } else {
      // The exclusions are applied already; the library gets the exact list.
      collecting.jx.clear();
      code = AddWithArchiver(window, collecting, baseDirectory, {collected});
    }
  }
  lastCommandLine_ = archiver.LastCommandLine;
  return code;
}

int TArchiveFile::Delete(HWND window, const TArchiverOptions* options,
                         const std::string& directory, const TNameList& files) {
  const TArchiverOptions& o = options ? *options : *options_;
  ResolveKind();
  TArchiver& archiver = RequireArchiver();
  int code = RunHooked(
      archiver,
      [&](TArchiver& a) {
        return a.Delete(window, fileName_, o, directory, files,
                        o.ResFileUsage.Contains(ruOnRemoveItem), outputBuffer_);
      });
  return code;
}

int TArchiveFile::MakeSfx(HWND window, const TArchiverOptions* options,
                          const std::string& directory) {
  const TArchiverOptions& o = options ? *options : *options_;
  if (!archiver_) lastCommandLine_.clear();
  TArchiver& archiver = RequireArchiver();
  int code = RunHooked(
      archiver,
      [&](TArchiver& a) { return a.MakeSfx(window, fileName_, o, directory, outputBuffer_); });
  return code;
}
