#pragma once

#include <QMainWindow>

// A main window that offers, by name, what the window model reads from a form: its scale mode
// and the size of its client area (the central widget, below the menu bar) in that scale, its
// window state, and unit conversion. Code that takes "any window object" (clsResizeLimits)
// finds these through Qt's property system; hWnd is the window itself.
class clsForm : public QMainWindow {
    Q_OBJECT
    Q_PROPERTY(int ScaleMode READ ScaleMode WRITE SetScaleMode)
    Q_PROPERTY(double ScaleWidth READ ScaleWidth)
    Q_PROPERTY(double ScaleHeight READ ScaleHeight)
    Q_PROPERTY(int WindowState READ WindowState)

public:
    explicit clsForm(QWidget* parent = nullptr);

    // A modScreen::ScaleMode; twips unless changed. Unknown modes are not taken.
    int ScaleMode() const { return scaleMode_; }
    void SetScaleMode(int mode);

    // The client area's size in the form's scale.
    double ScaleWidth() const;
    double ScaleHeight() const;

    // 0 normal, 1 minimized, 2 maximized.
    int WindowState() const;

    // Converts a horizontal or vertical length between two scale modes.
    Q_INVOKABLE double ScaleX(double Width, int FromScale, int ToScale) const;
    Q_INVOKABLE double ScaleY(double Height, int FromScale, int ToScale) const;

private:
    const QWidget* ClientArea() const;

    int scaleMode_;
};
