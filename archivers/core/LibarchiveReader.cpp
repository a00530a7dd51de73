// Reading through libarchive, from any offset of a file (an archive appended
// to a self-extractor starts in the middle).
#include "archivers/core/ArcCore.h"

#include <archive.h>
#include <archive_entry.h>

#include <clocale>
#include <cstring>
#include <vector>

namespace arc {

namespace {

// libarchive converts names through the C locale; without this, non-ASCII
// names fail to convert.
void EnsureLocale() {
  static bool done = [] {
    std::setlocale(LC_ALL, "");
    return true;
  }();
  (void)done;
}

int DataErrorCode(struct archive* a) {
  const char* text = archive_error_string(a);
  std::string message = text != nullptr ? text : "";
  if (message.find("CRC") != std::string::npos || message.find("crc") != std::string::npos) return ERROR_FILE_CRC;
  if (message.find("runcat") != std::string::npos || message.find("remature") != std::string::npos)
    return ERROR_UNEXPECTED_EOF;
  if (message.find("ncrypt") != std::string::npos || message.find("assphrase") != std::string::npos)
    return ERROR_PASSWORD_FILE;
  if (message.find("nsupported") != std::string::npos) return ERROR_METHOD;
  return ERROR_BROKEN_DATA;
}

std::wstring ErrorText(struct archive* a) {
  const char* text = archive_error_string(a);
  return text != nullptr ? FromCodePage(text, CP_UTF8) : L"";
}

class LibarchiveReader : public EntryReader {
 public:
  LibarchiveReader(const std::wstring& path, ReadFormats formats, const char* options, uint64_t offset)
      : file_(std::make_unique<InputFile>(path)), offset_(offset), path_(path) {
    Open(formats, options);
  }

  LibarchiveReader(std::function<size_t(void*, size_t)> source, ReadFormats formats, const char* options)
      : source_(std::move(source)), offset_(0) {
    Open(formats, options);
  }

  void Open(ReadFormats formats, const char* options) {
    EnsureLocale();
    rawNames_ = options != nullptr && std::strstr(options, "hdrcharset=ISO-8859-1") != nullptr;
    a_ = archive_read_new();
    if (a_ == nullptr) throw Error{ERROR_ENOUGH_MEMORY, L""};
    switch (formats) {
      case ReadFormats::All:
        archive_read_support_format_all(a_);
        archive_read_support_filter_all(a_);
        break;
      case ReadFormats::Lha:
        archive_read_support_format_lha(a_);
        break;
      case ReadFormats::Tar:
        archive_read_support_format_tar(a_);
        archive_read_support_format_gnutar(a_);
        archive_read_support_format_raw(a_);
        archive_read_support_filter_gzip(a_);
        archive_read_support_filter_bzip2(a_);
        archive_read_support_filter_compress(a_);
        break;
      case ReadFormats::Raw:
        archive_read_support_format_raw(a_);
        archive_read_support_filter_all(a_);
        break;
    }
    if (options != nullptr && archive_read_set_options(a_, options) < ARCHIVE_WARN) {
      archive_read_free(a_);
      throw Error{ERROR_NOT_SUPPORT, FromCodePage(options, CP_UTF8)};
    }
    position_ = offset_;
    archive_read_set_callback_data(a_, this);
    archive_read_set_read_callback(a_, &LibarchiveReader::ReadCallback);
    if (file_) {
      archive_read_set_skip_callback(a_, &LibarchiveReader::SkipCallback);
      archive_read_set_seek_callback(a_, &LibarchiveReader::SeekCallback);
    }
    if (archive_read_open1(a_) != ARCHIVE_OK) {
      std::wstring text = ErrorText(a_);
      archive_read_free(a_);
      a_ = nullptr;
      if (sourceError_.code != 0) throw sourceError_;
      throw Error{ERROR_NOT_ARC_FILE, path_ + L": " + text};
    }
  }

  ~LibarchiveReader() override {
    if (a_ != nullptr) archive_read_free(a_);
  }

  bool Next(EntryInfo& entry) override {
    struct archive_entry* e = nullptr;
    int status = archive_read_next_header(a_, &e);
    if (status == ARCHIVE_EOF) return false;
    if (status < ARCHIVE_WARN) {
      if (sourceError_.code != 0) throw sourceError_;
      int code = first_ ? ERROR_NOT_ARC_FILE : ERROR_HEADER_BROKEN;
      std::wstring text = ErrorText(a_);
      if (text.find(L"runcat") != std::wstring::npos || text.find(L"remature") != std::wstring::npos)
        code = first_ ? ERROR_NOT_ARC_FILE : ERROR_UNEXPECTED_EOF;
      throw Error{code, text};
    }
    first_ = false;
    entry = EntryInfo{};
    const wchar_t* wide = archive_entry_pathname_w(e);
    if (wide != nullptr) {
      entry.name = wide;
    } else if (const char* bytes = archive_entry_pathname(e)) {
      entry.name = FromCodePage(bytes, CP_ACP);  // names no conversion could read: the ANSI code page
    }
    if (!rawNames_) {
      for (auto& c : entry.name) {
        if (c == L'\\') c = L'/';
      }
    }
    if (!entry.name.empty() && entry.name.back() == L'/') entry.name.pop_back();
    unsigned type = archive_entry_filetype(e);
    entry.isDirectory = type == AE_IFDIR;
    entry.isHardLink = archive_entry_hardlink_w(e) != nullptr || archive_entry_hardlink(e) != nullptr;
    entry.isLink = type == AE_IFLNK || entry.isHardLink;
    entry.format = archive_format(a_);
    if (entry.isLink) {
      const wchar_t* target = archive_entry_symlink_w(e);
      if (target == nullptr) target = archive_entry_hardlink_w(e);
      if (target != nullptr) entry.linkTarget = target;
      if (!rawNames_) {
        for (auto& c : entry.linkTarget) {
          if (c == L'\\') c = L'/';
        }
      }
    }
    entry.originalSize = archive_entry_size_is_set(e) ? static_cast<uint64_t>(archive_entry_size(e)) : 0;
    read_ = 0;
    declared_ = archive_entry_size_is_set(e) && type == AE_IFREG && !entry.isLink ? archive_entry_size(e) : -1;
    // A stream that claims a compression must decode: when the decoder
    // rejects it, libarchive would hand out the compressed bytes as "data".
    // (A stream handed in is decoded already.)
    if (entry.format == ARCHIVE_FORMAT_RAW && !source_ && archive_filter_count(a_) <= 1)
      throw Error{ERROR_NOT_ARC_FILE, L""};
    entry.compressedSize = entry.originalSize;
    if (archive_entry_mtime_is_set(e))
      entry.writeTime = FileTimeFromUnix(archive_entry_mtime(e), archive_entry_mtime_nsec(e));
    if (archive_entry_birthtime_is_set(e))
      entry.createTime = FileTimeFromUnix(archive_entry_birthtime(e), archive_entry_birthtime_nsec(e));
    else if (archive_entry_ctime_is_set(e))
      entry.createTime = FileTimeFromUnix(archive_entry_ctime(e), archive_entry_ctime_nsec(e));
    if (archive_entry_atime_is_set(e))
      entry.accessTime = FileTimeFromUnix(archive_entry_atime(e), archive_entry_atime_nsec(e));
    DWORD attributes = entry.isDirectory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(archive_entry_perm(e) & 0222) && archive_entry_perm(e) != 0) attributes |= FILE_ATTRIBUTE_READONLY;
    entry.attributes = attributes;
    entry.osType = OSTYPE_UNIX;
    return true;
  }

  size_t Read(void* buffer, size_t size) override {
    la_ssize_t got = archive_read_data(a_, buffer, size);
    if (got < 0) {
      if (sourceError_.code != 0) throw sourceError_;
      throw Error{DataErrorCode(a_), ErrorText(a_)};
    }
    // The declared size bounds the data both ways: more is a damaged or
    // hostile stream (stop before writing it all), less is a cut archive.
    read_ += static_cast<uint64_t>(got);
    if (declared_ >= 0) {
      if (read_ > static_cast<uint64_t>(declared_)) throw Error{ERROR_FILE_CRC, L""};
      if (got == 0 && size > 0 && read_ < static_cast<uint64_t>(declared_)) throw Error{ERROR_UNEXPECTED_EOF, L""};
    }
    return static_cast<size_t>(got);
  }

  struct archive* Handle() const { return a_; }

 private:
  static la_ssize_t ReadCallback(struct archive* a, void* self, const void** buffer) {
    auto* me = static_cast<LibarchiveReader*>(self);
    try {
      if (me->source_) {
        size_t got = me->source_(me->block_.data(), me->block_.size());
        *buffer = me->block_.data();
        return static_cast<la_ssize_t>(got);
      }
      size_t got = me->file_->ReadAt(me->position_, me->block_.data(), me->block_.size());
      me->position_ += got;
      *buffer = me->block_.data();
      return static_cast<la_ssize_t>(got);
    } catch (const Error& error) {
      // Errors must not cross libarchive's C frames: kept and raised afterwards.
      me->sourceError_ = error;
      archive_set_error(a, EIO, "read error");
      return -1;
    }
  }

  static la_int64_t SkipCallback(struct archive*, void* self, la_int64_t request) {
    auto* me = static_cast<LibarchiveReader*>(self);
    uint64_t remaining = me->file_->Size() > me->position_ ? me->file_->Size() - me->position_ : 0;
    uint64_t step = static_cast<uint64_t>(request) < remaining ? static_cast<uint64_t>(request) : remaining;
    me->position_ += step;
    return static_cast<la_int64_t>(step);
  }

  static la_int64_t SeekCallback(struct archive*, void* self, la_int64_t offset, int whence) {
    auto* me = static_cast<LibarchiveReader*>(self);
    int64_t base = whence == SEEK_SET ? static_cast<int64_t>(me->offset_)
                   : whence == SEEK_CUR ? static_cast<int64_t>(me->position_)
                                        : static_cast<int64_t>(me->file_->Size());
    int64_t target = base + offset;
    if (target < static_cast<int64_t>(me->offset_)) return ARCHIVE_FATAL;
    me->position_ = static_cast<uint64_t>(target);
    return target - static_cast<int64_t>(me->offset_);
  }

  std::unique_ptr<InputFile> file_;
  std::function<size_t(void*, size_t)> source_;
  Error sourceError_{0, L""};
  uint64_t offset_, position_ = 0;
  std::wstring path_;
  std::vector<char> block_ = std::vector<char>(256 * 1024);
  struct archive* a_ = nullptr;
  bool first_ = true;
  bool rawNames_ = false;
  uint64_t read_ = 0;
  int64_t declared_ = -1;  // the entry's declared size, -1 when unknown
};

}  // namespace

std::unique_ptr<EntryReader> OpenLibarchiveStream(std::function<size_t(void*, size_t)> source, ReadFormats formats,
                                                  const char* options) {
  return std::make_unique<LibarchiveReader>(std::move(source), formats, options);
}

std::unique_ptr<EntryReader> OpenLibarchive(const std::wstring& path, ReadFormats formats, const char* options,
                                            uint64_t offset) {
  return std::make_unique<LibarchiveReader>(path, formats, options, offset);
}

}  // namespace arc
