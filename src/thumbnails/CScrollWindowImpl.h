#pragma once
// A scrolling window on the window framework: a frameless QAbstractScrollArea whose content has a
// total size in pixels, scrolled by an offset, with the scroll rules of the classic scroll window:
//  - SetScrollSize resets the line step to 1/100 and the page step to 1/10 of the size (at least
//    1); SetScrollLine and SetScrollPage clamp their values to the size;
//  - the scroll range of a direction is 0 .. size − 1 and the offset lies within
//    0 .. size − client; with SCRL_DISABLENOSCROLLH the horizontal bar stays visible and is
//    disabled while the content fits;
//  - the scroll-bar arrows move by the line step and the bar's page area by the page step;
//  - the vertical wheel scrolls horizontally when there is nothing to scroll vertically: the deltas
//    add up, each event scrolls ceil(|sum| × lines / 120) line steps and keeps the sum modulo
//    120; the horizontal wheel does the same with its own sum.
// Painting goes to DoPaint with the painter already shifted by the negative offset, so DoPaint
// draws in content coordinates. Mouse and key input reach the message map as WM_LBUTTONDOWN,
// WM_LBUTTONDBLCLK and WM_KEYDOWN with client coordinates and virtual-key codes (Space, Home, End,
// Left, Right and Delete by their VK_ codes, other keys by Qt's key code).
#include <QAbstractScrollArea>
#include <QPoint>
#include <QSize>
#include <cstdint>

#include "platform/WindowHandle.h"
#include "window/WindowImpl.h"

namespace brevio {

// QAbstractScrollArea with the constructor the window framework gives its Qt base.
class ScrollAreaWidget : public QAbstractScrollArea {
public:
    explicit ScrollAreaWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
};

class CScrollWindowImpl : public WindowImpl<ScrollAreaWidget> {
    Q_OBJECT
public:
    // The input messages and values of a scroll window (class scope, as the system's own message
    // list does not carry them).
    static constexpr uint32_t WM_SETTINGCHANGE = 0x001A;
    static constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
    static constexpr uint32_t WM_MOUSEHWHEEL = 0x020E;
    static constexpr uint32_t MK_LBUTTON = 0x0001;
    static constexpr uint32_t VK_SPACE = 0x20;
    static constexpr uint32_t VK_END = 0x23;
    static constexpr uint32_t VK_HOME = 0x24;
    static constexpr uint32_t VK_LEFT = 0x25;
    static constexpr uint32_t VK_RIGHT = 0x27;
    static constexpr uint32_t VK_DELETE = 0x2E;
    static constexpr int WHEEL_DELTA = 120;
    static constexpr uint32_t SCRL_DISABLENOSCROLLV = 0x00000010;
    static constexpr uint32_t SCRL_DISABLENOSCROLLH = 0x00000020;

    // Client coordinates packed into a mouse message's lParam, and back (signed 16-bit).
    static constexpr intptr_t MakePointParam(int x, int y) {
        return static_cast<intptr_t>(static_cast<uint32_t>(static_cast<uint16_t>(x)) |
                                     (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
    }
    static constexpr int PointParamX(intptr_t lParam) {
        return static_cast<int16_t>(lParam & 0xFFFF);
    }
    static constexpr int PointParamY(intptr_t lParam) {
        return static_cast<int16_t>((lParam >> 16) & 0xFFFF);
    }

    explicit CScrollWindowImpl(QWidget* parent = nullptr);

    // Content size; resets the line and page steps. With redraw the window repaints; with
    // resetOffset the offset goes back to 0, else it is clamped to the new range.
    void SetScrollSize(int cx, int cy, bool redraw = true, bool resetOffset = true);
    QSize GetScrollSize() const { return size_; }
    void SetScrollLine(int cxLine, int cyLine);
    QSize GetScrollLine() const { return line_; }
    void SetScrollPage(int cxPage, int cyPage);
    QSize GetScrollPage() const { return page_; }
    // Moves the offset, clamped to 0 .. size − client in each direction.
    void SetScrollOffset(int x, int y, bool redraw = true);
    QPoint GetScrollOffset() const { return offset_; }
    void SetScrollExtendedStyle(uint32_t style);
    uint32_t GetScrollExtendedStyle() const { return extendedStyle_; }
    // The range of the horizontal (or vertical) bar: 0 .. size − 1. False when the window has no
    // bar in that direction.
    bool GetScrollRange(Qt::Orientation bar, int* minPos, int* maxPos) const;
    // Scrolls the least needed to show the rectangle (right and bottom exclusive): when it ends
    // beyond the client area its end comes to the client's edge, and when it then starts before
    // the offset its start becomes the offset.
    void ScrollToView(int left, int top, int right, int bottom);
    void ScrollToView(const QPoint& point) {
        ScrollToView(point.x(), point.y(), point.x(), point.y());
    }
    // The client (viewport) rectangle, at (0, 0).
    QRect ClientRect() const;

protected:
    // Draws the content; the painter is shifted by the negative offset (content coordinates).
    virtual void DoPaint(QPainter& dc) = 0;
    // Repaints the client area (InvalidateRect without erasing).
    void InvalidateClient();

    bool ProcessWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam,
                              LRESULT& result) override;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void UpdateBars();
    void ScrollByLines(Qt::Orientation direction, int lines);
    void OnBarAction(Qt::Orientation bar, int action);

    QSize size_{0, 0};
    QSize line_{0, 0};
    QSize page_{0, 0};
    QPoint offset_{0, 0};
    uint32_t extendedStyle_ = 0;
    int wheelSum_ = 0;
    int hWheelSum_ = 0;
    int wheelLines_ = 3;  // lines per notch, reloaded on WM_SETTINGCHANGE
    bool updatingBars_ = false;
};

}  // namespace brevio
