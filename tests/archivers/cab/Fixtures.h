// Fixture archives of the CAB, RAR and ARJ tests (see fixtures/make-fixtures.sh)
// and scratch folders, seen from inside Wine.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The source tree is a Linux path; Wine shows the Linux root as drive Z:.
inline std::string FixturePath(const std::string& name) {
  std::string path = std::string("Z:") + TAVIX_SOURCE_DIR + "/tests/archivers/cab/fixtures/" + name;
  for (auto& c : path)
    if (c == '/') c = '\\';
  return path;
}

inline std::vector<std::uint8_t> ReadFixture(const std::string& name) {
  std::ifstream in(FixturePath(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string FixtureText(const std::string& name) {
  auto bytes = ReadFixture(name);
  return std::string(bytes.begin(), bytes.end());
}
