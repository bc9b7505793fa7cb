// MShadow: the drop shadow of a dialog. A layered, click-through window of class "ShadowWnd" that
// never takes activation and that the dialog keeps directly beneath itself: the dialog calls
// Update on every WM_WINDOWPOSCHANGED (moved, resized, shown, hidden, minimised, raised), and the
// shadow takes the dialog's place, visibility and stacking from the window system.
//
// It draws either a nine-grid image around the dialog or a soft shadow computed from the
// dialog's rectangle. With sharpness s, size z, offset (ox, oy) and darkness d:
//
//   core    = the dialog's rect grown by z on every side and moved by (ox, oy)
//   window  = core grown by s (the soft band; s = 0 gives a hard edge)
//   alpha   = d * ramp(dx) * ramp(dy), dx / dy = how far the pixel lies outside the core
//             (ramp 1 inside, falling smoothly to 0 at the window's edge: rounded soft corners)
//   alpha   = 0 wherever the dialog itself lies (a translucent dialog shows no shadow through it)
//
// | setting   | range     | default |
// |-----------|-----------|---------|
// | darkness  | 0..255    | 150     |
// | sharpness | 0..35     | 5       |
// | size      | -35..35   | 0       |
// | offset    | -35..35   | 5, 5    |
// Values outside a range are clamped to it.
//
// Without a compositing manager there is no translucency (a layered window would become an
// opaque block), so the shadow then stays hidden.
#pragma once

#include <memory>
#include <string>

#include "base/Color.h"
#include "velaui/core/MPaintedWnd.h"

namespace kl::vela {

class Image;

class MShadow : public MPaintedWnd {
 public:
  MShadow();
  ~MShadow() override;

  const wchar_t* GetWindowClassName() const override { return L"ShadowWnd"; }

  // Makes the (hidden) shadow window of `dialog` and follows it at once. False when the dialog
  // does not exist or the window cannot be made.
  bool Create(platform::WindowId dialog);
  // Takes the dialog's current place, size, visibility and stacking.
  void Update();
  // Whether the shadow may show at all (it still shows only while the dialog does).
  void SetShow(bool show);

  void SetDarkness(int darkness);
  void SetSharpness(int sharpness);
  void SetSize(int size);
  void SetPosition(int x, int y);
  void SetColor(COLORREF color);
  // Draws `file` (a skin file) as a nine-grid around the dialog instead of the soft shadow:
  // `borders` gives how far the picture reaches beyond the dialog on each side (left, top, right,
  // bottom), which are also its unstretched margins. False (and the soft shadow stays) when the
  // file does not load or a border is negative.
  bool SetImage(const std::wstring& file, const CRect& borders);

  // The soft shadow for a shadow window the size of `canvas`: the core is the canvas less
  // `sharpness` on every side, and nothing is drawn under `dialog` (canvas coordinates).
  // Replaces the canvas's pixels. Also what previews of the shadow draw with.
  static void PaintSoftShadow(Canvas& canvas, const CRect& dialog, int darkness, int sharpness, COLORREF color);

 protected:
  void Paint(Canvas& canvas) override;

 private:
  // Where the shadow window goes for a dialog at `dialog` (screen coordinates).
  CRect ShadowRect(const CRect& dialog) const;
  void Changed();

  platform::WindowId m_dialog = 0;
  bool m_show = true;
  int m_darkness = 150;
  int m_sharpness = 5;
  int m_size = 0;
  CPoint m_offset{5, 5};
  COLORREF m_color = 0;
  std::unique_ptr<Image> m_image;
  CRect m_imageBorders;
  CRect m_dialogRect;  // screen rect of the dialog at the last Update
};

}  // namespace kl::vela
