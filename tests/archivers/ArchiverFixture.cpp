#include "tests/archivers/ArchiverFixture.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <sstream>

ArchiverLibrary::ArchiverLibrary(const wchar_t* file, const std::string& prefix)
    : module_(LoadLibraryW(file)), prefix_(prefix) {}

void* ArchiverLibrary::Entry(const char* suffix) const {
  if (module_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(module_, (prefix_ + suffix).c_str()));
}

template <typename T>
T As(void* entry) {
  if (entry == nullptr) throw std::runtime_error("entry missing");
  return reinterpret_cast<T>(entry);
}

int ArchiverLibrary::Command(const std::string& line, std::string* output, HWND window) {
  std::vector<char> buffer(1 << 16, 'x');
  int code = As<int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD)>(Entry(""))(window, line.c_str(), buffer.data(),
                                                                      static_cast<DWORD>(buffer.size()));
  if (output != nullptr) *output = buffer.data();
  return code;
}

HGLOBAL ArchiverLibrary::Open(const std::string& path, DWORD mode) {
  return As<HGLOBAL(WINAPI*)(HWND, LPCSTR, DWORD)>(Entry("OpenArchive"))(nullptr, path.c_str(), mode);
}
int ArchiverLibrary::FindFirst(HGLOBAL handle, const std::string& wildcard, EntryRecord* record) {
  return As<int(WINAPI*)(HGLOBAL, LPCSTR, EntryRecord*)>(Entry("FindFirst"))(handle, wildcard.c_str(), record);
}
int ArchiverLibrary::FindNext(HGLOBAL handle, EntryRecord* record) {
  return As<int(WINAPI*)(HGLOBAL, EntryRecord*)>(Entry("FindNext"))(handle, record);
}
int ArchiverLibrary::Close(HGLOBAL handle) { return As<int(WINAPI*)(HGLOBAL)>(Entry("CloseArchive"))(handle); }
BOOL ArchiverLibrary::Check(const std::string& path, int mode) {
  return As<BOOL(WINAPI*)(LPCSTR, int)>(Entry("CheckArchive"))(path.c_str(), mode);
}
int ArchiverLibrary::ExtractMem(const std::string& line, std::vector<char>& buffer, DWORD* written) {
  return As<int(WINAPI*)(HWND, LPCSTR, LPBYTE, DWORD, time_t*, LPWORD, LPDWORD)>(Entry("ExtractMem"))(
      nullptr, line.c_str(), reinterpret_cast<LPBYTE>(buffer.data()), static_cast<DWORD>(buffer.size()), nullptr,
      nullptr, written);
}
BOOL ArchiverLibrary::SetOwner(HWND window) {
  return As<BOOL(WINAPI*)(HWND, void*)>(Entry("SetOwnerWindowEx"))(window, nullptr);
}
BOOL ArchiverLibrary::KillOwner(HWND window) { return As<BOOL(WINAPI*)(HWND)>(Entry("KillOwnerWindowEx"))(window); }
BOOL ArchiverLibrary::Running() { return As<BOOL(WINAPI*)()>(Entry("GetRunning"))(); }
BOOL ArchiverLibrary::WriteTime(HGLOBAL handle, FILETIME* time) {
  return As<BOOL(WINAPI*)(HGLOBAL, FILETIME*)>(Entry("GetWriteTimeEx"))(handle, time);
}
int ArchiverLibrary::ArchiveType(const std::string& path) {
  return As<int(WINAPI*)(LPCSTR)>(Entry("GetArchiveType"))(path.c_str());
}

std::vector<EntryRecord> ArchiverLibrary::List(const std::string& path, const std::string& wildcard) {
  std::vector<EntryRecord> records;
  HGLOBAL handle = Open(path);
  if (handle == nullptr) return records;
  EntryRecord record;
  for (int code = FindFirst(handle, wildcard, &record); code == 0; code = FindNext(handle, &record)) {
    records.push_back(record);
    // A listing that never ends is a fault of its own, not a reason to hang.
    if (records.size() > 200000) {
      ADD_FAILURE() << "listing of " << path << " does not end";
      break;
    }
  }
  Close(handle);
  return records;
}

void ScratchTest::SetUp() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  root_ = fs::path(temp) / (L"arctest-" + std::to_wstring(GetCurrentProcessId())) /
          (std::wstring(info->name(), info->name() + std::strlen(info->name())));
  fs::remove_all(root_);
  fs::create_directories(root_);
}

void ScratchTest::TearDown() {
  std::error_code ignored;
  for (auto& entry : fs::recursive_directory_iterator(root_, ignored))
    SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  fs::remove_all(root_, ignored);
}

std::string ScratchTest::A(const fs::path& path) {
  std::wstring wide = path.wstring();
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, result.data(), n, nullptr, nullptr);
  result.resize(n - 1);
  return result;
}

std::string ScratchTest::S(const char* utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), n);
  return A(fs::path(wide.c_str()));
}

void ScratchTest::Write(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
}

std::string ScratchTest::Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ScratchTest::Pattern(size_t size, uint32_t seed) {
  static const char* const words[] = {"archive ", "entry ", "header ", "ファイル ", "書庫 ", "\r\n", "0123 ", "zz "};
  std::string text;
  while (text.size() < size) {
    seed = seed * 1103515245u + 12345u;
    text += words[(seed >> 16) % 8];
    if ((seed >> 8) % 7 == 0) text += static_cast<char>('A' + (seed >> 20) % 26);
  }
  text.resize(size);
  return text;
}

void ScratchTest::SetTime(const fs::path& path, int year) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = 6;
  st.wDay = 15;
  st.wHour = 12;
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &ft);
  CloseHandle(file);
}

namespace {
ProgressWindow* current = nullptr;
}

ProgressWindow::ProgressWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ArcTestProgress";
  RegisterClassW(&wc);
  window_ = CreateWindowW(L"ArcTestProgress", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  message_ = RegisterWindowMessageA("wm_arcextract");
  current = this;
}

ProgressWindow::~ProgressWindow() {
  DestroyWindow(window_);
  current = nullptr;
}

LRESULT CALLBACK ProgressWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (current != nullptr && message == current->message_) {
    Report report{wParam, {}};
    std::memcpy(&report.record, reinterpret_cast<const void*>(lParam), sizeof report.record);
    current->reports.push_back(report);
    if (wParam == 1 && current->during && !current->ran_) {
      current->ran_ = true;
      current->during();
    }
    if (static_cast<int>(wParam) == current->stopAtState &&
        (current->stopForSource.empty() || current->stopForSource == report.record.szSourceFileName))
      return 1;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

uint16_t Crc16(const std::string& data) {
  uint16_t crc = 0;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string Deflated(const std::string& data, int windowBits) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string LhaLevel0Stored(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string archive;
  for (const auto& [name, data] : entries) {
    std::string body = "-lh0-";
    Put32(body, static_cast<uint32_t>(data.size()));
    Put32(body, static_cast<uint32_t>(data.size()));
    Put32(body, 0x5A8C6000);  // 2025-04-12 12:00 in DOS form
    body += '\x20';
    body += '\0';  // level 0
    body += static_cast<char>(name.size());
    body += name;
    Put16(body, Crc16(data));
    unsigned sum = 0;
    for (unsigned char c : body) sum += c;
    archive += static_cast<char>(body.size());
    archive += static_cast<char>(sum & 0xFF);
    archive += body + data;
  }
  archive += '\0';
  return archive;
}

std::string LhaLevel2Stored(const std::string& folderBytes, const std::string& name, const std::string& data) {
  std::string h = "  -lh0-";
  Put32(h, static_cast<uint32_t>(data.size()));
  Put32(h, static_cast<uint32_t>(data.size()));
  Put32(h, 1700000000);
  h += '\x20';
  h += '\x02';
  Put16(h, Crc16(data));
  h += 'M';
  auto extension = [&](char type, const std::string& bytes) {
    Put16(h, static_cast<uint32_t>(bytes.size() + 3));
    h += type;
    h += bytes;
  };
  extension('\x01', name);
  if (!folderBytes.empty()) extension('\x02', folderBytes);
  Put16(h, 0);
  if ((h.size() & 0xFF) == 0) h += '\0';
  h[0] = static_cast<char>(h.size() & 0xFF);
  h[1] = static_cast<char>(h.size() >> 8);
  return h + data + std::string(1, '\0');
}

// A ustar header of any type (hard links: '1' with a link name).
std::string TarEntry(const std::string& name, char type, const std::string& link, const std::string& data) {
  std::string header(512, '\0');
  std::memcpy(&header[0], name.data(), std::min<size_t>(name.size(), 99));
  std::snprintf(&header[100], 8, "%07o", 0644);
  std::snprintf(&header[108], 8, "%07o", 0);
  std::snprintf(&header[116], 8, "%07o", 0);
  std::snprintf(&header[124], 12, "%011o", static_cast<unsigned>(data.size()));
  std::snprintf(&header[136], 12, "%011o", 1700000000u);
  std::memset(&header[148], ' ', 8);
  header[156] = type;
  std::memcpy(&header[157], link.data(), std::min<size_t>(link.size(), 99));
  std::memcpy(&header[257], "ustar\00000", 8);
  unsigned sum = 0;
  for (unsigned char c : header) sum += c;
  std::snprintf(&header[148], 8, "%06o", sum);
  return header + data + std::string((512 - data.size() % 512) % 512, '\0');
}

std::string TarStored(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string archive;
  for (const auto& [name, data] : entries) archive += TarEntry(name, '0', "", data);
  archive += std::string(1024, '\0');
  return archive;
}
