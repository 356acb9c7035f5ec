#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <vector>

// The windows whose size the user may drag only between a minimum and a maximum, and the means
// of holding them there. clsResizeLimits is the public face; this module keeps the list.
//
// "Subclassing" a window installs LimitsWindowProc, an event filter, on it. While installed it
// makes the record's limits the window's minimum and maximum size, the frame counted in where the
// platform reports one: the minimum always (0 too), the maximum 0 meaning the primary screen's
// size in pixels. They are set while the window is in its normal state, and again only when they
// or the frame change, so that they never fight the window manager's maximize and restore. A
// window subclassed before its first display opens at the size its program gave it: that size
// caps the minimum. Removing it puts back the minimum and maximum size the window had before.
namespace modResizeLimits {

struct WindowLimits {
    // The window; null marks a cleared record, and also reads so once the window is destroyed.
    QPointer<QWidget> hWnd;
    // What was replaced: the installed filter, which keeps the sizes to put back. Null before the
    // window is subclassed and after RemoveWindowLimits; RemoveAllWindowLimits leaves it set.
    QPointer<QObject> PrevWndProc;
    std::int32_t MinX = 0; // pixels
    std::int32_t MinY = 0;
    std::int32_t MaxX = 0; // 0: the screen's width
    std::int32_t MaxY = 0; // 0: the screen's height
};

// For tests: the process-wide list; records are only appended, and cleared rather than removed.
const std::vector<WindowLimits>& WindowList();

// Makes the list one all-zero record, whatever it held.
void ResetWindowList();

// The index of the first record of the window, or -1.
int FindWindowIndex(const QWidget* hWnd);

// Records (or updates) the window's limits in pixels and subclasses it unless its record already
// holds a previous procedure.
void AddWindowLimits(QWidget* hWnd, std::int32_t MinX, std::int32_t MinY, std::int32_t MaxX,
                     std::int32_t MaxY);

// Puts the window's previous procedure back and clears its record; a window without a record is
// ignored.
void RemoveWindowLimits(QWidget* hWnd);

// Puts back the previous procedure of every recorded window; the records stay as they are.
void RemoveAllWindowLimits();

// For tests: whether LimitsWindowProc is installed on the window now.
bool IsSubclassed(const QWidget* hWnd);

} // namespace modResizeLimits
