#include "settings/HistoryEx.h"

#include "settings/IniGT.h"

#include <algorithm>

namespace {

// How an empty line is stored, and the default that means "no line".
const std::wstring kNoLine = L"NIL";

std::wstring ProgramIniPath() {
  std::wstring path = ProgramPath();
  size_t dot = path.find_last_of(L'.');
  size_t folder = path.find_last_of(L"\\/:");
  if (dot != std::wstring::npos && (folder == std::wstring::npos || dot > folder)) path.erase(dot);
  return path + L".ini";
}

}  // namespace

THistoryEx::THistoryEx(std::wstring name) : name_(std::move(name)), fileName_(ProgramIniPath()) {}

void THistoryEx::Add(const std::wstring& text) {
  counted_ = true;
  std::erase(lines_, text);
  // Make room below Max (a lowered Max trims the tail as well).
  while (!lines_.empty() && static_cast<int>(lines_.size()) >= max_) lines_.pop_back();
  if (max_ > 0) lines_.insert(lines_.begin(), text);
  Mirror();
}

void THistoryEx::SetFromList(const std::vector<std::wstring>& lines) {
  if (lines.empty()) return;
  size_t keep = std::min(lines.size(), static_cast<size_t>(std::max(max_, 0)));
  lines_.assign(lines.begin(), lines.begin() + keep);
  counted_ = true;
  Mirror();
}

void THistoryEx::Load() {
  for (int n = max_ - 1; n >= 0; --n) {
    std::wstring line = TIniGT::ReadProfileText(fileName_, name_, std::to_wstring(n), kNoLine);
    if (line != kNoLine) Add(line);
  }
}

bool THistoryEx::Save() const {
  if (fileName_.empty()) return false;
  if (IsReadOnlyFile(fileName_)) return true;
  bool written = true;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::wstring& value = lines_[i].empty() ? kNoLine : lines_[i];
    written &= WritePrivateProfileStringW(name_.c_str(), std::to_wstring(i).c_str(), value.c_str(),
                                          fileName_.c_str()) != FALSE;
  }
  return written;
}

void THistoryEx::Mirror() const {
  if (comboBox_) {
    SendMessageW(comboBox_, CB_RESETCONTENT, 0, 0);
    for (const auto& line : lines_) {
      SendMessageW(comboBox_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    // A drop-down list has no edit part: its text is the selected item.
    if ((GetWindowLongW(comboBox_, GWL_STYLE) & CBS_DROPDOWNLIST) == CBS_DROPDOWNLIST) {
      SendMessageW(comboBox_, CB_SETCURSEL, lines_.empty() ? -1 : 0, 0);
    } else {
      SetWindowTextW(comboBox_, lines_.empty() ? L"" : lines_.front().c_str());
    }
  }
  if (listBox_) {
    SendMessageW(listBox_, LB_RESETCONTENT, 0, 0);
    for (const auto& line : lines_) {
      SendMessageW(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
  }
}
