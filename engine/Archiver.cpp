#include "engine/Archiver.h"

#include "engine/EngineTexts.h"
#include "engine/TextUtil.h"

#include <typeinfo>

void TPersistent::Assign(const TPersistent& source) { AssignError(&source); }

void TPersistent::AssignError(const TPersistent* source) const {
  throw EConvertError(FormatMessageText(L"Cannot assign a %s to a %s",
                                        {source ? source->ClassName() : L"nil", ClassName()}));
}

void TArchiverOptions::Assign(const TPersistent& source) {
  // Only the exact kind: a derived kind could carry state this copy would drop.
  if (typeid(source) != typeid(TArchiverOptions)) AssignError(&source);
  *this = static_cast<const TArchiverOptions&>(source);
}

void TArchiverOptions::Reset() { *this = TArchiverOptions(); }

void TArchiver::LoadDLL() { throw EArchiver(L"Abstract method 'TArchiver.LoadDLL' was called"); }

void TArchiver::FreeDLL() { throw EArchiver(L"Abstract method 'TArchiver.FreeDLL' was called"); }

HARC TArchiver::OpenArchive(HWND, const std::string&, DWORD) { return nullptr; }

int TArchiver::FindFirst(HARC, const std::string&, TIndividualInfo*) { return -1; }

int TArchiver::FindNext(HARC, TIndividualInfo*) { return -1; }

int TArchiver::CloseArchive(HARC) { return 0; }

int TArchiver::Add(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                   const TNameList&, bool, std::string&) {
  throw EArchiver(engine_texts::CannotCreate);
}

int TArchiver::Delete(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                      const TNameList&, bool, std::string&) {
  throw EArchiver(engine_texts::CannotDelete);
}

int TArchiver::Update(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                      const TNameList&, bool, std::string&) {
  throw EArchiver(engine_texts::CannotUpdate);
}

int TArchiver::MakeSfx(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                       std::string&) {
  throw EArchiver(engine_texts::CannotMakeSfx);
}

int TArchiver::ExtractMem(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                          BYTE*, DWORD, DWORD*) {
  throw EArchiver(engine_texts::CannotExtractToMemory);
}

bool TArchiver::CheckArchive(const std::string&, int, int) { throw EArchiver(engine_texts::CannotCheck); }

bool TArchiver::SetOwnerWindow(HWND window) {
  ownerWindow_ = window;
  return false;
}

bool TArchiver::KillOwnerWindow(HWND) {
  ownerWindow_ = nullptr;
  return false;
}

void TArchiver::LoadPackDLL() { LoadDLL(); }

void TArchiver::AddTarget(TCmdOpt& cmd, const std::string& archivePath,
                          const std::string& directory) {
  cmd.AddValue("", archivePath);
  cmd.AddDir("", directory);
}

int TArchiver::AddFileList(TCmdOpt& cmd, const TArchiverOptions& options, bool useResponseFile,
                           const TNameList& files) {
  int count = useResponseFile && !options.ResFileName.empty()
                  ? cmd.WriteResponseFile(files, options.ResFileName)
                  : cmd.AddFiles("", files);
  cmd.AddRaw(options.UserFileList);
  return count;
}
