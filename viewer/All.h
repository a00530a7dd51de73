// TAll: the picture control. A child window that paints one picture, sizes
// itself to it (AutoSize), stretches it when the host fits it, and scrolls
// when it is larger than its window. It loads a picture by file name: the
// Windows formats itself, every other format through an image plug-in
// chosen by the file's extension.
#pragma once

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "../engine/Handles.h"

// A plug-in's failure to decode a non-JPEG picture, raised to the caller.
class EPictureError : public std::runtime_error {
 public:
  explicit EPictureError(std::wstring message)
      : std::runtime_error("picture error"), message_(std::move(message)) {}
  const std::wstring& Message() const { return message_; }

 private:
  std::wstring message_;
};

class TAll {
 public:
  // Error values of our own (any other non-zero value is a plug-in's code).
  static constexpr int kUnknownNative = 2;
  static constexpr int kUnsupportedExtension = 10;
  static constexpr int kPluginNotFound = 20;
  static constexpr int kPluginEntryMissing = 21;

  TAll(HWND parent, int id = 0);
  ~TAll();
  TAll(const TAll&) = delete;
  TAll& operator=(const TAll&) = delete;

  HWND Handle() const { return window_; }

  const std::wstring& PictureName() const { return pictureName_; }
  void SetPictureName(const std::wstring& name);
  bool PreView() const { return preView_; }
  void SetPreView(bool value);
  int OrgWidth() const { return orgWidth_; }
  int OrgHeight() const { return orgHeight_; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  int Error() const { return error_; }
  const std::wstring& SpiFolder() const { return spiFolder_; }
  void SetSpiFolder(const std::wstring& folder) { spiFolder_ = folder; }

  // Our plug-ins shipped beside the program: tried when SpiFolder has none
  // of the plug-in's name, so a user's own plug-in wins. Empty: none.
  const std::wstring& ShippedSpiFolder() const { return shippedSpiFolder_; }
  void SetShippedSpiFolder(const std::wstring& folder) { shippedSpiFolder_ = folder; }
  static std::wstring DefaultShippedSpiFolder();

  // The picture decoded elsewhere (the viewer's JPEG road).
  void AssignPicture(TBitmap bitmap);
  HBITMAP Picture() const { return bitmap_.get(); }
  HPALETTE Palette() const { return palette_.get(); }
  // The top window's palette messages (WM_QUERYNEWPALETTE, WM_PALETTECHANGED)
  // go to top windows only: the window holding the control hands them on.
  // True when the message was one of them; result is then the answer.
  bool PaletteMessage(UINT message, WPARAM wparam, LRESULT& result);
  SIZE PictureSize() const { return pictureSize_; }

  // Shown size: the picture's own, or the size it is stretched to.
  void SetDisplaySize(SIZE size);
  SIZE DisplaySize() const { return displaySize_; }
  // The viewer's fitting into an area: shrink to fit keeping proportions
  // when shrink is on and the picture is larger, else natural size.
  static SIZE FitSize(SIZE picture, SIZE area, bool shrink);

  // How a message is shown; a message box over the parent unless replaced.
  std::function<void(const std::wstring&)> OnMessage;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Load();
  void LoadNative();
  void LoadWithPlugin(int kind);
  void Fail(int error, const std::wstring& text);
  void Clear();
  void SetBitmap(TBitmap bitmap);
  void UpdateLayout();
  void Scroll(int bar, WPARAM wparam);
 public:
  POINT ScrollPosition() const { return scroll_; }

 private:
  void Paint(HDC dc);
  // Maps the picture's palette into the system palette; the entries changed.
  UINT RealizeOwnPalette(bool background);

  HWND window_ = nullptr;
  std::wstring pictureName_;
  bool preView_ = false;
  int orgWidth_ = 0;
  int orgHeight_ = 0;
  bool autoSize_ = true;
  int error_ = 0;
  std::wstring spiFolder_;
  std::wstring shippedSpiFolder_;
  TBitmap bitmap_;
  TPalette palette_;
  SIZE pictureSize_{};
  SIZE displaySize_{};
  POINT scroll_{};
  bool laying_ = false;
};
