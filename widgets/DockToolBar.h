// Toolbars docked in rebars on the four sides of a window. Buttons carry a
// two-part hint "tooltip|status text", may open a drop-down menu, and can be
// hidden one by one; each bar's dock, row, position and visibility are saved
// to and restored from a settings file.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

enum class TDropDown { None, Split, Whole };

struct TToolButton {
  UINT id;
  int image;            // -1: a separator
  std::wstring hint;    // "tooltip|status text"
  TDropDown dropDown = TDropDown::None;
  HMENU menu = nullptr;  // the drop-down menu (not owned)
  bool enabled = true;
};

enum class TDockSide { Top = 0, Bottom = 1, Left = 2, Right = 3 };

class TToolDock;

class TDockToolBar {
 public:
  // images/disabled: image lists shared with other bars (not owned).
  void Create(HWND owner, const std::wstring& name, const std::wstring& caption, HIMAGELIST images,
              HIMAGELIST disabled, const std::vector<TToolButton>& buttons);
  // A bar holding another control (a combo box row and the like) instead of buttons.
  void CreateForControl(HWND owner, const std::wstring& name, const std::wstring& caption, HWND control);
  HWND Handle() const { return window_; }
  const std::wstring& Name() const { return name_; }
  const std::wstring& Caption() const { return caption_; }

  void SetEnabled(UINT id, bool enabled);
  bool Enabled(UINT id) const;
  void SetImage(UINT id, int image);
  int Image(UINT id) const;
  // Shows or hides the index-th item (buttons and separators count).
  void SetItemVisible(int index, bool visible);
  bool ItemVisible(int index) const;
  int ItemCount() const { return static_cast<int>(buttons_.size()); }
  UINT ItemId(int index) const { return buttons_[index].id; }
  SIZE IdealSize() const;
  // Screen rectangle of a button (for tests and drop-down placement).
  RECT ButtonRect(UINT id) const;

  // The owner forwards WM_NOTIFY here; true when handled.
  bool HandleNotify(const NMHDR* header, LRESULT& result);
  // Receives the status part of the hint of the button under the mouse ("" when it leaves).
  std::function<void(const std::wstring&)> onHint;

 private:
  friend class TToolDock;
  static std::wstring HintPart(const std::wstring& hint, int part);
  const TToolButton* Find(UINT id) const;
  HWND owner_ = nullptr;
  HWND window_ = nullptr;
  bool isControl_ = false;
  std::wstring name_, caption_;
  std::vector<TToolButton> buttons_;
  std::wstring tipText_;
  TToolDock* dock_ = nullptr;
};

class TToolDock {
 public:
  void Create(HWND parent);
  void Add(TDockToolBar& bar, TDockSide side, bool newRow);
  void ShowBar(TDockToolBar& bar, bool visible);
  bool BarVisible(const TDockToolBar& bar) const;
  // Re-measures a bar after its items changed.
  void Refresh(TDockToolBar& bar);
  // Places the four docks inside client; returns the rectangle left for the content.
  RECT Layout(RECT client);
  HWND Rebar(TDockSide side) const { return rebars_[static_cast<int>(side)]; }
  // Settings file sections "ToolBar.<name>": Dock, Row, Position, Visible.
  void Save(const std::wstring& iniPath) const;
  void Load(const std::wstring& iniPath);

 private:
  struct Placement {
    TDockToolBar* bar;
    TDockSide side;
    bool newRow;  // the band starts a row of its own
  };
  int BandIndex(const TDockToolBar& bar, TDockSide* side) const;
  void Insert(TDockToolBar& bar, TDockSide side, int position, bool newRow, bool visible);
  HWND rebars_[4] = {};
  std::vector<Placement> bars_;
};
