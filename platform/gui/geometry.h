#pragma once

namespace gui {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// A rectangle as the planner's windows use it: [left, right) x [top, bottom).
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
    constexpr bool Contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    // The same rectangle moved by (dx, dy): a panel's own rectangle placed at its origin.
    constexpr Rect Offset(int dx, int dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
    Rect Union(const Rect& other) const {
        if (IsEmpty()) {
            return other;
        }
        if (other.IsEmpty()) {
            return *this;
        }
        return {left < other.left ? left : other.left, top < other.top ? top : other.top,
                right > other.right ? right : other.right,
                bottom > other.bottom ? bottom : other.bottom};
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A rectangle given as its top-left corner and size, as the windows' layout tables give them.
constexpr Rect RectAt(int x, int y, int width, int height) {
    return {x, y, x + width, y + height};
}

}  // namespace gui
