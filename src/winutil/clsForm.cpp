#include "winutil/clsForm.h"

#include "winutil/modScreen.h"

clsForm::clsForm(QWidget* parent) : QMainWindow(parent), scaleMode_(modScreen::vbTwips) {}

void clsForm::SetScaleMode(int mode) {
    if (mode == modScreen::vbTwips || mode == modScreen::vbPixels)
        scaleMode_ = mode;
}

const QWidget* clsForm::ClientArea() const {
    return centralWidget() ? centralWidget() : static_cast<const QWidget*>(this);
}

double clsForm::ScaleWidth() const {
    return modScreen::ScaleX(ClientArea()->width(), modScreen::vbPixels, scaleMode_);
}

double clsForm::ScaleHeight() const {
    return modScreen::ScaleY(ClientArea()->height(), modScreen::vbPixels, scaleMode_);
}

int clsForm::WindowState() const {
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized)
        return 1;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return 2;
    return 0;
}

double clsForm::ScaleX(double Width, int FromScale, int ToScale) const {
    return modScreen::ScaleX(Width, FromScale, ToScale);
}

double clsForm::ScaleY(double Height, int FromScale, int ToScale) const {
    return modScreen::ScaleY(Height, FromScale, ToScale);
}
