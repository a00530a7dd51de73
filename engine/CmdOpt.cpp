#include "engine/CmdOpt.h"

#include "engine/ArchiverDll.h"
#include "engine/EngineTexts.h"
#include "engine/Handles.h"
#include "engine/TextUtil.h"

#include <oleauto.h>

#include <cstddef>

namespace {

void AppendVariantText(const VARIANT& value, std::vector<std::string>& names, bool keepEmpty) {
  VARIANT text;
  VariantInit(&text);
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR))) {
    std::wstring wide(text.bstrVal ? text.bstrVal : L"", text.bstrVal ? SysStringLen(text.bstrVal) : 0);
    std::string name = WideToAnsi(wide);
    if (keepEmpty || !name.empty()) names.push_back(std::move(name));
  }
  VariantClear(&text);
}

void AppendVariantArray(SAFEARRAY* array, std::vector<std::string>& names, bool keepEmpty) {
  if (array == nullptr || SafeArrayGetDim(array) == 0) return;
  VARTYPE type = VT_EMPTY;
  if (FAILED(SafeArrayGetVartype(array, &type))) return;
  // Elements are read into the VARIANT's value field; anything larger
  // (records, and any kind not known here) would overrun it and is no name.
  constexpr size_t ValueRoom = sizeof(VARIANT) - offsetof(VARIANT, byref);
  if (type == VT_RECORD ||
      (type != VT_VARIANT && type != VT_DECIMAL && SafeArrayGetElemsize(array) > ValueRoom))
    return;
  UINT dims = SafeArrayGetDim(array);
  std::vector<LONG> index(dims);
  for (UINT d = 0; d < dims; ++d) SafeArrayGetLBound(array, d + 1, &index[d]);
  // Index of the first dimension is the last element of the index array.
  LONG low = 0, high = -1;
  SafeArrayGetLBound(array, 1, &low);
  SafeArrayGetUBound(array, 1, &high);
  for (LONG i = low; i <= high; ++i) {
    index[dims - 1] = i;
    VARIANT element;
    VariantInit(&element);
    if (type == VT_VARIANT) {
      if (SUCCEEDED(SafeArrayGetElement(array, index.data(), &element))) AppendVariantText(element, names, keepEmpty);
    } else if (type == VT_DECIMAL) {
      // A DECIMAL fills the whole VARIANT, its type field included.
      DECIMAL value;
      if (SUCCEEDED(SafeArrayGetElement(array, index.data(), &value))) {
        element.decVal = value;
        element.vt = VT_DECIMAL;
        AppendVariantText(element, names, keepEmpty);
      }
    } else {
      element.vt = type;
      if (SUCCEEDED(SafeArrayGetElement(array, index.data(), &element.byref)))
        AppendVariantText(element, names, keepEmpty);
    }
    VariantClear(&element);
  }
}

}  // namespace

void TNameSource::AppendTo(std::vector<std::string>& names, bool keepEmpty) const {
  auto add = [&names, keepEmpty](const char* name) {
    if (name != nullptr && (keepEmpty || *name != '\0')) names.emplace_back(name);
  };
  switch (kind_) {
    case Kind::Skipped:
      break;
    case Kind::Text:
      if (keepEmpty || !text_.empty()) names.push_back(text_);
      break;
    case Kind::CString:
      add(cstring_);
      break;
    case Kind::CStringArray:
      for (auto p = array_; p != nullptr && *p != nullptr; ++p) add(*p);
      break;
    case Kind::StringList:
      if (list_ != nullptr)
        for (const auto& line : *list_)
          if (keepEmpty || !line.empty()) names.push_back(line);
      break;
    case Kind::Variant:
      if (variant_ == nullptr) break;
      if (variant_->vt & VT_ARRAY)
        AppendVariantArray((variant_->vt & VT_BYREF) ? *variant_->pparray : variant_->parray, names,
                           keepEmpty);
      else
        AppendVariantText(*variant_, names, keepEmpty);
      break;
  }
}

std::vector<std::string> FlattenNames(const TNameList& list, bool keepEmpty) {
  std::vector<std::string> names;
  for (const auto& source : list) source.AppendTo(names, keepEmpty);
  return names;
}

bool EndsWithBackslash(const std::string& text) {
  bool last = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size()) {
      last = false;
      ++i;
    } else {
      last = text[i] == '\\';
    }
  }
  return last;
}

void TCmdOpt::AddRaw(const std::string& item) { text_ += " " + item; }

void TCmdOpt::AddValue(const std::string& switchName, const std::string& value) {
  if (value.empty()) return;
  if (switchName.empty()) {
    AddRaw("\"" + value + "\"");
    return;
  }
  std::string word = switchName[0] == ' ' ? switchName.substr(1) : "-" + switchName;
  if (SeparateValue) {
    AddRaw(word);
    AddRaw("\"" + value + "\"");
  } else {
    AddRaw("\"" + word + value + "\"");
  }
}

void TCmdOpt::AddNumber(const std::string& switchName, int number) {
  if (number >= 0) AddRaw("-" + switchName + std::to_string(number));
}

void TCmdOpt::AddFlag(const std::string& switchName, bool flag) {
  if (flag) AddRaw("-" + switchName);
}

void TCmdOpt::AddDir(const std::string& switchName, const std::string& directory) {
  if (directory.empty()) return;
  AddValue(switchName, EndsWithBackslash(directory) ? directory : directory + "\\");
}

std::string TCmdOpt::Filtered(const std::string& name) const {
  return NameFilter ? NameFilter(name) : name;
}

bool IsLiteralNameMark(const std::string& name) {
  return name.size() >= 3 && name[0] == '-' && (name[1] == 'g' || name[1] == 'G') &&
         (name[2] == 'b' || name[2] == 'B');
}

void TCmdOpt::AddFileName(const std::string& switchName, const std::string& name) {
  std::string filtered = Filtered(name);
  // A bare name beginning with "-" or "@" would be read as a switch or as a
  // response file: -gb makes the library take it as the name it is. A name
  // the caller marked already goes as it is.
  if (switchName.empty() && !filtered.empty() && (filtered[0] == '-' || filtered[0] == '@') &&
      !IsLiteralNameMark(filtered)) {
    AddRaw("\"-gb" + filtered + "\"");
    return;
  }
  AddValue(switchName, filtered);
}

int TCmdOpt::AddFiles(const std::string& switchName, const TNameList& files) {
  auto names = FlattenNames(files);
  for (const auto& name : names) AddFileName(switchName, name);
  return static_cast<int>(names.size());
}

int TCmdOpt::WriteResponseFile(const TNameList& files, const std::string& path) {
  auto names = FlattenNames(files);
  std::string block;
  for (const auto& name : names) {
    // A list holds names only: a name marked "-gb" goes without its mark.
    std::string filtered = Filtered(name);
    if (IsLiteralNameMark(filtered)) filtered.erase(0, 3);
    block += "\"" + filtered + "\"\r\n";
  }
  TFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  bool written = static_cast<bool>(file);
  if (written && !block.empty()) {
    DWORD count = 0;
    written = WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &count,
                        nullptr) &&
              count == block.size();
  }
  file.reset();
  if (!written) {
    // A half-written list would make the library work on the wrong names.
    DeleteFileA(path.c_str());
    throw EArchiver(FormatMessageText(engine_texts::CannotWriteResponseFile, {AnsiToWide(path)}));
  }
  AddValue("", "@" + path);
  return static_cast<int>(names.size());
}
