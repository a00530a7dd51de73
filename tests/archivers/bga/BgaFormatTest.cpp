// The BGA container itself: header layout, round trips of both methods, and
// what damaged headers and data turn into.
#include "archivers/bga/BgaFormat.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <string>

namespace {

// A temporary file that the test reads and writes through a C stream.
class TempStream {
 public:
  TempStream() { stream_ = std::tmpfile(); }
  ~TempStream() {
    if (stream_ != nullptr) std::fclose(stream_);
  }
  std::FILE* Get() const { return stream_; }
  uint64_t Size() const {
    _fseeki64(stream_, 0, SEEK_END);
    return static_cast<uint64_t>(_ftelli64(stream_));
  }
  std::string Bytes() const {
    std::string bytes(Size(), '\0');
    _fseeki64(stream_, 0, SEEK_SET);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), stream_), bytes.size());
    return bytes;
  }
  void Replace(const std::string& bytes) {
    std::fclose(stream_);
    stream_ = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), stream_);
    std::fflush(stream_);
  }

 private:
  std::FILE* stream_;
};

std::string Sample(size_t size, bool compressible) {
  std::string data(size, '\0');
  std::mt19937 random(static_cast<unsigned>(size));
  for (size_t i = 0; i < size; ++i)
    data[i] = compressible ? "abcdefgh\n"[(i / 7) % 9] : static_cast<char>(random());
  return data;
}

bga::Result AddEntry(std::FILE* archive, const std::string& data, bga::Method method, const std::string& folder,
                     const std::string& name, int level = -1) {
  TempStream source;
  std::fwrite(data.data(), 1, data.size(), source.Get());
  std::fflush(source.Get());
  _fseeki64(source.Get(), 0, SEEK_SET);
  _fseeki64(archive, 0, SEEK_END);
  return bga::WriteEntry(archive, source.Get(), data.size(), method, level, folder, name, 0x5A21, 0x6000, 0x20,
                         nullptr);
}

std::string DecodeAll(std::FILE* archive, const bga::Entry& entry, bga::Result& result) {
  std::string out;
  result = bga::Decode(archive, entry, [&](const void* data, size_t size) {
    out.append(static_cast<const char*>(data), size);
    return true;
  });
  return out;
}

uint32_t ReadU32(const std::string& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

TEST(BgaHeader, FieldsSitAtTheirPublishedOffsets) {
  EXPECT_EQ(offsetof(bga::Header, checksum), 0u);
  EXPECT_EQ(offsetof(bga::Header, method), 4u);
  EXPECT_EQ(offsetof(bga::Header, packedSize), 8u);
  EXPECT_EQ(offsetof(bga::Header, originalSize), 12u);
  EXPECT_EQ(offsetof(bga::Header, date), 16u);
  EXPECT_EQ(offsetof(bga::Header, time), 18u);
  EXPECT_EQ(offsetof(bga::Header, attributes), 20u);
  EXPECT_EQ(offsetof(bga::Header, headerType), 21u);
  EXPECT_EQ(offsetof(bga::Header, dataKind), 22u);
  EXPECT_EQ(offsetof(bga::Header, folderLength), 24u);
  EXPECT_EQ(offsetof(bga::Header, nameLength), 26u);
}

TEST(BgaHeader, WrittenBytesAreTheDocumentedOnes) {
  TempStream archive;
  ASSERT_EQ(AddEntry(archive.Get(), "hello hello hello", bga::Method::Deflate, "sub\\", "a.txt"), bga::Result::Ok);
  std::string bytes = archive.Bytes();
  EXPECT_EQ(bytes.substr(4, 4), "GZIP");
  EXPECT_EQ(ReadU32(bytes, 12), 17u);
  EXPECT_EQ(bytes.substr(28, 9), "sub\\a.txt");
  uint32_t packed = ReadU32(bytes, 8);
  EXPECT_EQ(bytes.size(), 28u + 9u + packed);
  // The data is one gzip member.
  EXPECT_EQ(static_cast<unsigned char>(bytes[37]), 0x1Fu);
  EXPECT_EQ(static_cast<unsigned char>(bytes[38]), 0x8Bu);
  uint32_t sum = 0;
  for (size_t i = 4; i < 37; ++i) sum += static_cast<unsigned char>(bytes[i]);
  EXPECT_EQ(ReadU32(bytes, 0), sum);
}

struct RoundTrip {
  bga::Method method;
  size_t size;
  bool compressible;
  int level;
};

class BgaRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(BgaRoundTrip, DecodesWhatWasWritten) {
  const RoundTrip& c = GetParam();
  TempStream archive;
  std::string first = Sample(c.size, c.compressible), second = Sample(c.size / 3 + 1, !c.compressible);
  ASSERT_EQ(AddEntry(archive.Get(), first, c.method, "", "first.bin", c.level), bga::Result::Ok);
  ASSERT_EQ(AddEntry(archive.Get(), second, c.method, "dir\\sub\\", "second.bin", c.level), bga::Result::Ok);
  uint64_t size = archive.Size();
  bga::Entry one, two, none;
  ASSERT_EQ(bga::ReadEntry(archive.Get(), 0, size, one), bga::Status::Ok);
  ASSERT_EQ(bga::ReadEntry(archive.Get(), one.End(), size, two), bga::Status::Ok);
  EXPECT_EQ(bga::ReadEntry(archive.Get(), two.End(), size, none), bga::Status::End);
  EXPECT_EQ(two.Path(), "dir\\sub\\second.bin");
  EXPECT_EQ(one.header.originalSize, first.size());
  EXPECT_EQ(one.header.date, 0x5A21);
  EXPECT_EQ(one.header.time, 0x6000);
  EXPECT_EQ(one.header.attributes, 0x20);
  bga::Result result;
  EXPECT_EQ(DecodeAll(archive.Get(), one, result), first);
  EXPECT_EQ(result, bga::Result::Ok);
  EXPECT_EQ(DecodeAll(archive.Get(), two, result), second);
  EXPECT_EQ(result, bga::Result::Ok);
}

INSTANTIATE_TEST_SUITE_P(Methods, BgaRoundTrip,
                         ::testing::Values(RoundTrip{bga::Method::Deflate, 0, true, -1},
                                           RoundTrip{bga::Method::Deflate, 1, true, 9},
                                           RoundTrip{bga::Method::Deflate, 300000, true, 0},
                                           RoundTrip{bga::Method::Deflate, 200000, false, 6},
                                           RoundTrip{bga::Method::Bzip2, 0, true, -1},
                                           RoundTrip{bga::Method::Bzip2, 5, false, 1},
                                           RoundTrip{bga::Method::Bzip2, 250000, true, 9},
                                           RoundTrip{bga::Method::Bzip2, 120000, false, 0}));

TEST(BgaDamage, HeaderDamageIsBrokenAndShortFilesAreTruncated) {
  TempStream archive;
  ASSERT_EQ(AddEntry(archive.Get(), Sample(1000, true), bga::Method::Deflate, "", "name.txt"), bga::Result::Ok);
  const std::string good = archive.Bytes();
  struct Case {
    const char* what;
    size_t offset;  // byte to change, or the new length for truncation
    bool truncate;
    bga::Status expected;
  } cases[] = {
      {"checksum", 0, false, bga::Status::Broken},
      {"packed size", 8, false, bga::Status::Broken},
      {"name", 30, false, bga::Status::Broken},
      {"name length", 26, false, bga::Status::Broken},
      {"inside the header", 20, true, bga::Status::Truncated},
      {"inside the data", 50, true, bga::Status::Truncated},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    if (c.truncate)
      bytes.resize(c.offset);
    else
      bytes[c.offset] ^= 0x01;
    archive.Replace(bytes);
    bga::Entry entry;
    EXPECT_EQ(bga::ReadEntry(archive.Get(), 0, bytes.size(), entry), c.expected) << c.what;
  }
}

TEST(BgaDamage, DamagedDataNeverDecodesSilently) {
  for (bga::Method method : {bga::Method::Deflate, bga::Method::Bzip2}) {
    TempStream archive;
    ASSERT_EQ(AddEntry(archive.Get(), Sample(5000, true), method, "", "x.txt"), bga::Result::Ok);
    std::string bytes = archive.Bytes();
    bga::Entry entry;
    ASSERT_EQ(bga::ReadEntry(archive.Get(), 0, bytes.size(), entry), bga::Status::Ok);
    // Every byte of the data, one at a time: the stream's own check or the
    // sizes must notice (the header is intact, so the entry still lists).
    size_t broken = 0, total = 0;
    for (uint64_t at = entry.dataOffset; at < entry.End(); at += 7) {
      std::string damaged = bytes;
      damaged[at] ^= 0x10;
      archive.Replace(damaged);
      bga::Entry again;
      ASSERT_EQ(bga::ReadEntry(archive.Get(), 0, damaged.size(), again), bga::Status::Ok);
      bga::Result result;
      std::string out = DecodeAll(archive.Get(), again, result);
      ++total;
      if (result != bga::Result::Ok) ++broken;
      else EXPECT_EQ(out, Sample(5000, true)) << "silently wrong data at " << at;
    }
    // Flips in the gzip header's time stamp or the stream's padding bits change
    // nothing; nearly every other flip must be refused.
    EXPECT_GT(broken, total * 3 / 4);
  }
}

TEST(BgaDamage, UnknownMethodListsButDoesNotDecode) {
  TempStream archive;
  ASSERT_EQ(AddEntry(archive.Get(), "data", bga::Method::Deflate, "", "x"), bga::Result::Ok);
  std::string bytes = archive.Bytes();
  bga::Header header;
  std::memcpy(&header, bytes.data(), sizeof header);
  std::memcpy(header.method, "LZMA", 4);
  header.checksum = bga::Checksum(header, "", "x");
  std::memcpy(bytes.data(), &header, sizeof header);
  archive.Replace(bytes);
  bga::Entry entry;
  ASSERT_EQ(bga::ReadEntry(archive.Get(), 0, bytes.size(), entry), bga::Status::Ok);
  bga::Result result;
  DecodeAll(archive.Get(), entry, result);
  EXPECT_EQ(result, bga::Result::Unsupported);
}

TEST(BgaWriter, RefusesNamesLongerThanTheRecordField) {
  TempStream archive;
  EXPECT_EQ(AddEntry(archive.Get(), "x", bga::Method::Deflate, std::string(500, 'd') + "\\", std::string(20, 'n')),
            bga::Result::Unsupported);
  EXPECT_EQ(AddEntry(archive.Get(), "x", bga::Method::Deflate, "", ""), bga::Result::Unsupported);
}

TEST(BgaWriter, MethodFollowsTheArchiveExtension) {
  EXPECT_EQ(bga::MethodForArchiveName("C:\\a\\b.BZA"), bga::Method::Bzip2);
  EXPECT_EQ(bga::MethodForArchiveName("C:\\a\\b.gza"), bga::Method::Deflate);
  EXPECT_EQ(bga::MethodForArchiveName("C:\\a.bza\\b"), bga::Method::Deflate);
}

TEST(BgaSearch, FindsTheArchiveAfterLeadingBytes) {
  TempStream archive;
  std::string prefix = "MZ" + std::string(3000, 'z') + "GZIP";  // a stray tag that is no header
  std::fwrite(prefix.data(), 1, prefix.size(), archive.Get());
  ASSERT_EQ(AddEntry(archive.Get(), "payload", bga::Method::Bzip2, "", "p.txt"), bga::Result::Ok);
  uint64_t start = 0;
  ASSERT_TRUE(bga::FindArchiveStart(archive.Get(), archive.Size(), 1 << 20, start));
  EXPECT_EQ(start, prefix.size());
  EXPECT_FALSE(bga::FindArchiveStart(archive.Get(), archive.Size(), 1000, start));
}

}  // namespace
