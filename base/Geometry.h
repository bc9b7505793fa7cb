// Points, sizes and rectangles with the Windows conventions the UI code is written in:
// a rectangle includes its left/top edge and excludes its right/bottom edge.
#pragma once

#include <algorithm>

namespace kl {

struct CPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const CPoint&, const CPoint&) = default;
};

struct CSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const CSize&, const CSize&) = default;
};

struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  constexpr CRect() = default;
  constexpr CRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  constexpr CSize Size() const { return {Width(), Height()}; }
  constexpr CPoint TopLeft() const { return {left, top}; }
  constexpr CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }
  // Empty when it has no area (zero or negative width or height).
  constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
  constexpr bool PtInRect(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

  void OffsetRect(int dx, int dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
  }
  void InflateRect(int dx, int dy) {
    left -= dx;
    right += dx;
    top -= dy;
    bottom += dy;
  }
  void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }

  // The overlap of two rectangles; an empty rectangle (all zero) when they do not overlap.
  static CRect Intersect(const CRect& a, const CRect& b) {
    CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom));
    return r.IsRectEmpty() ? CRect() : r;
  }
  // The smallest rectangle holding both; an empty one does not count.
  static CRect Union(const CRect& a, const CRect& b) {
    if (a.IsRectEmpty()) return b.IsRectEmpty() ? CRect() : b;
    if (b.IsRectEmpty()) return a;
    return CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom));
  }

  friend bool operator==(const CRect&, const CRect&) = default;
};

}  // namespace kl
