// The format code under the CAB and ARJ libraries, called directly: the ARJ
// decoders against archives made by Debian's arj (its CRCs are the judge), and
// the cabinet writer read back through libarchive.
#include "archivers/arj/ArjFormat.h"
#include "archivers/cab/CabWriter.h"
#include "tests/archivers/cab/Fixtures.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>

namespace {

// ---------------------------------------------------------------- ARJ

struct ArjFile {
  std::vector<std::uint8_t> bytes;
  arj::ReadAt reader() const {
    return [this](std::uint64_t offset, void* buffer, std::size_t size) -> std::size_t {
      if (offset >= bytes.size()) return 0;
      std::size_t n = std::min<std::size_t>(size, bytes.size() - offset);
      std::memcpy(buffer, bytes.data() + offset, n);
      return n;
    };
  }
};

struct Decoded {
  arj::Header header;
  arj::DecodeResult result;
  std::string data;
};

// Lists and decodes every entry; `end` is how the header walk stopped.
std::vector<Decoded> DecodeAll(const ArjFile& file, arj::ParseResult& end) {
  std::vector<Decoded> out;
  std::uint64_t offset = 0, next = 0;
  EXPECT_TRUE(arj::FindMainHeader(file.reader(), file.bytes.size(), false, offset));
  arj::Header main;
  EXPECT_EQ(arj::ParseHeader(file.reader(), offset, main, next), arj::ParseResult::Ok);
  for (;;) {
    Decoded d;
    end = arj::ParseHeader(file.reader(), next, d.header, next);
    if (end != arj::ParseResult::Ok) break;
    std::uint64_t pos = d.header.dataOffset;
    std::uint32_t left = d.header.compressedSize;
    arj::Source source = [&](void* buffer, std::size_t size) {
      std::size_t n = file.reader()(pos, buffer, std::min<std::size_t>(size, left));
      pos += n;
      left -= static_cast<std::uint32_t>(n);
      return n;
    };
    arj::Sink sink = [&](const void* data, std::size_t size) {
      d.data.append(static_cast<const char*>(data), size);
      return true;
    };
    d.result = arj::Decode(d.header.method, d.header.compressedSize, d.header.originalSize, d.header.crc, source,
                           sink);
    next = d.header.dataOffset + d.header.compressedSize;
    out.push_back(std::move(d));
  }
  return out;
}

ArjFile LoadArj(const char* name) { return ArjFile{ReadFixture(name)}; }

TEST(ArjDecoder, EveryMethodDecodesWhatArjWroteWithMatchingCrc) {
  std::map<std::string, std::string> reference;
  for (int method = 0; method <= 4; ++method) {
    SCOPED_TRACE(method);
    auto file = LoadArj(("method" + std::to_string(method) + ".arj").c_str());
    arj::ParseResult end;
    auto entries = DecodeAll(file, end);
    EXPECT_EQ(end, arj::ParseResult::End);
    ASSERT_GE(entries.size(), 4u);
    bool usedMethod = false;
    for (const auto& e : entries) {
      EXPECT_EQ(e.result, arj::DecodeResult::Ok) << e.header.name;
      EXPECT_EQ(e.data.size(), e.header.originalSize);
      usedMethod |= e.header.method == method;
      auto [it, fresh] = reference.emplace(e.header.name, e.data);
      if (!fresh) {
        EXPECT_EQ(it->second, e.data) << e.header.name;
      }
    }
    EXPECT_TRUE(usedMethod) << "fixture does not exercise the method";
  }
  EXPECT_EQ(reference["sub/small.txt"], "hi\n");
  EXPECT_EQ(reference["\x95\x5c.txt"], "hyou\n");
  EXPECT_EQ(reference["text.txt"].size(), 115609u);
}

TEST(ArjDecoder, DamageIsReportedNeverDecodedSilently) {
  struct Case {
    const char* file;
    arj::DecodeResult text;  // result for text.txt
    arj::ParseResult end;
  } cases[] = {
      {"crc-method1.arj", arj::DecodeResult::BadCrc, arj::ParseResult::End},
      {"cut-method1.arj", arj::DecodeResult::Corrupt, arj::ParseResult::Truncated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    arj::ParseResult end;
    auto entries = DecodeAll(LoadArj(c.file), end);
    EXPECT_EQ(end, c.end);
    bool seen = false;
    for (const auto& e : entries)
      if (e.header.name == "text.txt") {
        seen = true;
        EXPECT_EQ(e.result, c.text);
      }
    EXPECT_TRUE(seen);
  }
}

TEST(ArjDecoder, RandomDataEndsInAnErrorQuickly) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::uint8_t> junk(1 + random() % 3000);
    for (auto& b : junk) b = static_cast<std::uint8_t>(random());
    int method = 1 + round % 4;
    std::size_t pos = 0;
    arj::Source source = [&](void* buffer, std::size_t size) {
      std::size_t n = std::min(size, junk.size() - pos);
      std::memcpy(buffer, junk.data() + pos, n);
      pos += n;
      return n;
    };
    std::uint64_t produced = 0;
    arj::Sink sink = [&](const void*, std::size_t size) {
      produced += size;
      return true;
    };
    auto result = arj::Decode(method, static_cast<std::uint32_t>(junk.size()), 50'000'000, 0x12345678, source, sink);
    EXPECT_NE(result, arj::DecodeResult::Ok) << "round " << round;
    // Junk can only be "decoded" while bits last: a few bytes per input bit.
    EXPECT_LT(produced, junk.size() * 8 * 256 + 65536) << "round " << round;
  }
}

TEST(ArjDecoder, RefusingSinkCancels) {
  auto file = LoadArj("method2.arj");
  arj::Header main, h;
  std::uint64_t next = 0;
  ASSERT_EQ(arj::ParseHeader(file.reader(), 0, main, next), arj::ParseResult::Ok);
  while (arj::ParseHeader(file.reader(), next, h, next) == arj::ParseResult::Ok && h.name != "text.txt")
    next = h.dataOffset + h.compressedSize;
  ASSERT_EQ(h.name, "text.txt");
  std::uint64_t pos = h.dataOffset;
  arj::Source source = [&](void* buffer, std::size_t size) {
    std::size_t n = file.reader()(pos, buffer, size);
    pos += n;
    return n;
  };
  arj::Sink refuse = [](const void*, std::size_t) { return false; };
  EXPECT_EQ(arj::Decode(h.method, h.compressedSize, h.originalSize, h.crc, source, refuse),
            arj::DecodeResult::Cancelled);
}

TEST(ArjHeaders, MainHeaderInsideSelfExtractorFoundOnlyWhenSearching) {
  auto file = LoadArj("method1.arj");
  std::vector<std::uint8_t> stub(70000, 0x90);
  stub[100] = arj::HeaderId0;  // a false start
  stub[101] = arj::HeaderId1;
  file.bytes.insert(file.bytes.begin(), stub.begin(), stub.end());
  std::uint64_t offset = 0;
  EXPECT_FALSE(arj::FindMainHeader(file.reader(), file.bytes.size(), false, offset));
  ASSERT_TRUE(arj::FindMainHeader(file.reader(), file.bytes.size(), true, offset));
  EXPECT_EQ(offset, stub.size());
}

TEST(ArjHeaders, DamagedHeadersAreClassified) {
  auto good = LoadArj("method0.arj");
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    arj::ParseResult expected;
  } cases[] = {
      {"header crc", [](auto& b) { b[10] ^= 1; }, arj::ParseResult::BadCrc},
      {"not an id", [](auto& b) { b[0] = 'P'; }, arj::ParseResult::NotHeader},
      {"size too big", [](auto& b) { b[2] = 0xFF, b[3] = 0xFF; }, arj::ParseResult::Broken},
      {"cut", [](auto& b) { b.resize(20); }, arj::ParseResult::Truncated},
  };
  for (const auto& c : cases) {
    ArjFile file = good;
    c.damage(file.bytes);
    arj::Header h;
    std::uint64_t next;
    EXPECT_EQ(arj::ParseHeader(file.reader(), 0, h, next), c.expected) << c.what;
  }
}

// ---------------------------------------------------------------- CAB

struct MemoryOutput : cab::Output {
  std::vector<std::uint8_t> bytes;
  bool Write(const void* data, std::size_t size) override {
    bytes.insert(bytes.end(), static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
    return true;
  }
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    if (offset + size > bytes.size()) return false;
    std::memcpy(bytes.data() + offset, data, size);
    return true;
  }
};

cab::FileToWrite FileOf(std::string name, const std::string& data) {
  cab::FileToWrite f;
  f.name = std::move(name);
  f.size = static_cast<std::uint32_t>(data.size());
  f.dosDate = (44 << 9) | (5 << 5) | 6;  // 2024-05-06
  f.dosTime = (7 << 11) | (8 << 5) | 5;  // 07:08:10
  f.attributes = 0x20;
  auto pos = std::make_shared<std::size_t>(0);
  f.read = [data, pos](void* buffer, std::size_t size) {
    std::size_t n = std::min(size, data.size() - *pos);
    std::memcpy(buffer, data.data() + *pos, n);
    *pos += n;
    return n;
  };
  return f;
}

std::map<std::string, std::string> ReadWithLibarchive(const std::vector<std::uint8_t>& cabinet) {
  std::map<std::string, std::string> out;
  archive* a = archive_read_new();
  archive_read_support_format_cab(a);
  EXPECT_EQ(archive_read_open_memory(a, cabinet.data(), cabinet.size()), ARCHIVE_OK);
  archive_entry* entry;
  while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
    std::string data;
    char buffer[8192];
    la_ssize_t n;
    while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0) data.append(buffer, n);
    EXPECT_EQ(n, 0) << archive_error_string(a);
    out[archive_entry_pathname(entry)] = data;
  }
  archive_read_free(a);
  return out;
}

TEST(CabWriter, RoundTripThroughLibarchiveAcrossBlockBoundaries) {
  std::mt19937 random(3);
  std::string noise(100000, '\0');
  for (auto& c : noise) c = static_cast<char>(random());
  std::string text;
  while (text.size() < 200000) text += "cabinet block boundary test " + std::to_string(text.size()) + "\n";
  std::map<std::string, std::string> files = {
      {"empty.txt", ""},
      {"exact.bin", std::string(cab::BlockSize, 'x')},
      {"dir\\noise.bin", noise},
      {"dir\\sub\\text.txt", text},
      {"one", "1"},
  };
  std::vector<cab::FileToWrite> list;
  for (const auto& [name, data] : files) list.push_back(FileOf(name, data));
  MemoryOutput out;
  std::size_t failed = 99;
  ASSERT_EQ(cab::WriteCabinet(list, out, 6, nullptr, failed), cab::WriteResult::Ok);
  auto read = ReadWithLibarchive(out.bytes);
  ASSERT_EQ(read.size(), files.size());
  for (const auto& [name, data] : files) {
    std::string stored = name;
    for (auto& c : stored)
      if (c == '\\') c = '/';
    EXPECT_EQ(read[stored], data) << name;
  }
  EXPECT_LT(out.bytes.size(), noise.size() + text.size() / 4);
}

TEST(CabWriter, ChecksumTakesTheTailInReverseOrder) {
  EXPECT_EQ(cab::Checksum("abcd", 4, 0), 0x64636261u);
  EXPECT_EQ(cab::Checksum("abcde", 5, 0), 0x64636261u ^ 0x65u);
  EXPECT_EQ(cab::Checksum("abcdefg", 7, 0), 0x64636261u ^ (0x65u << 16 | 0x66u << 8 | 0x67u));
  EXPECT_EQ(cab::Checksum("", 0, 0x1234), 0x1234u);
}

TEST(CabWriter, FailuresNameTheFileAndStopEarly) {
  struct Case {
    const char* what;
    std::function<void(std::vector<cab::FileToWrite>&)> setup;
    cab::Progress progress;
    cab::WriteResult expected;
    std::size_t failedFile;
  } cases[] = {
      {"file shrank", [](auto& l) { l[1].size += 10; }, nullptr, cab::WriteResult::SizeChanged, 1},
      {"file grew", [](auto& l) { l[0].size -= 1; }, nullptr, cab::WriteResult::SizeChanged, 0},
      {"read error", [](auto& l) { l[1].read = [](void*, std::size_t) { return SIZE_MAX; }; }, nullptr,
       cab::WriteResult::ReadError, 1},
      {"cancel", [](auto&) {}, [](std::size_t file, std::uint64_t) { return file == 0; },
       cab::WriteResult::Cancelled, 1},
      {"too many", [](auto& l) { l.resize(cab::MaxFiles + 1); }, nullptr, cab::WriteResult::TooManyFiles, 0},
  };
  for (const auto& c : cases) {
    std::vector<cab::FileToWrite> list = {FileOf("a", std::string(50000, 'a')), FileOf("b", "bbbb")};
    c.setup(list);
    MemoryOutput out;
    std::size_t failed = 99;
    EXPECT_EQ(cab::WriteCabinet(list, out, 6, c.progress, failed), c.expected) << c.what;
    EXPECT_EQ(failed, c.failedFile) << c.what;
  }
}

}  // namespace
