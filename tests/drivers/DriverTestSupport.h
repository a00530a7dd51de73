// Shared pieces of the driver tests: scratch folders, small files, option
// sets and the exception text check.
#pragma once

#include "engine/Archiver.h"
#include "tests/engine/SpyLibrary.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Makes folder the current folder for the scope.
class InFolder {
 public:
  explicit InFolder(const std::string& folder);
  ~InFolder();

 private:
  std::string previous_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);

using OptionSetter = std::function<void(TArchiverOptions&)>;
TArchiverOptions MakeOptions(const OptionSetter& set);

// A window handle the spies only record.
inline HWND const OwnerWindow = reinterpret_cast<HWND>(0x4242);

// Runs call, expects it to raise an EArchiver (or kin) with exactly message.
#define EXPECT_ARCHIVER_ERROR(call, ExceptionType, message)                 \
  do {                                                                      \
    try {                                                                   \
      call;                                                                 \
      ADD_FAILURE() << "no exception from " #call;                          \
    } catch (const ExceptionType& e) {                                      \
      EXPECT_EQ(e.Message(), std::wstring(message)) << e.what();            \
    }                                                                       \
  } while (0)

// The command lines the spy's entry received, in call order.
std::vector<std::string> CommandsTo(const SpyLibrary& spy, const std::string& entry);
// The argument text of each call to the spy's entry (between the parentheses).
std::vector<std::string> ArgumentsTo(const SpyLibrary& spy, const std::string& entry);
