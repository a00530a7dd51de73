#include "tests/engine/SpyLibrary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>

namespace {
template <typename F>
F Entry(HMODULE module, const char* name) {
  auto p = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (p == nullptr) throw std::runtime_error(std::string("spy entry missing: ") + name);
  return p;
}
}  // namespace

SpyLibrary::SpyLibrary(const wchar_t* fileName) : module_(GetModuleHandleW(fileName)) {
  if (module_ == nullptr) throw std::runtime_error("spy library not loaded");
}

void SpyLibrary::Reset() const { Entry<void(WINAPI*)()>(module_, "SpyReset")(); }

std::vector<std::string> SpyLibrary::Calls() const {
  auto get = Entry<int(WINAPI*)(char*, int)>(module_, "SpyGetLog");
  std::string text(get(nullptr, 0) + 1, '\0');
  get(text.data(), static_cast<int>(text.size()));
  text.resize(std::strlen(text.c_str()));
  std::vector<std::string> calls;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) calls.push_back(line);
  return calls;
}

void SpyLibrary::AddEntry(const char* name, WORD date, WORD time) const {
  TIndividualInfo record{};
  std::strncpy(record.szFileName, name, FNAME_MAX32);
  record.wDate = date;
  record.wTime = time;
  record.dwOriginalSize = 100;
  Entry<void(WINAPI*)(const void*)>(module_, "SpyAddEntry")(&record);
}

void SpyLibrary::SetResult(int result, const char* output) const {
  Entry<void(WINAPI*)(int, const char*)>(module_, "SpySetResult")(result, output);
}

std::vector<std::string> CallsTo(const std::vector<std::string>& calls, const std::string& entry) {
  std::vector<std::string> found;
  for (const auto& call : calls)
    if (call.rfind(entry + "(", 0) == 0) found.push_back(call);
  return found;
}

std::string PointerText(const void* pointer) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", pointer);
  return text;
}
