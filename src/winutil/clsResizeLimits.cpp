#include "winutil/clsResizeLimits.h"

#include "winutil/modObject.h"
#include "winutil/modResizeLimits.h"
#include "winutil/modScreen.h"

#include <array>
#include <cstdint>
#include <optional>

clsResizeLimits::clsResizeLimits() {
    modResizeLimits::ResetWindowList();
}

clsResizeLimits::~clsResizeLimits() {
    modResizeLimits::RemoveAllWindowLimits();
}

void clsResizeLimits::AddLimits(QObject* frm, double MinX, double MinY, double MaxX, double MaxY,
                                bool ValuesArePixels) {
    std::array<double, 4> values{MinX, MinY, MaxX, MaxY};
    const auto isX = [](std::size_t i) { return i % 2 == 0; };

    if (!modObject::GetNumber(frm, "ScaleMode")) {
        // No scale mode: the values are twips.
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] /= isX(i) ? modScreen::TwipsPerPixelX() : modScreen::TwipsPerPixelY();
    } else if (!ValuesArePixels) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::optional<double> mode = modObject::GetNumber(frm, "ScaleMode");
            if (!mode)
                continue;
            const std::optional<double> pixels =
                modObject::CallScale(frm, isX(i) ? "ScaleX" : "ScaleY", values[i],
                                     static_cast<int>(*mode), modScreen::vbPixels);
            if (pixels)
                values[i] = *pixels;
        }
    }

    const std::optional<QWidget*> hWnd = modObject::GetHandle(frm);
    if (!hWnd)
        return;
    std::array<std::int32_t, 4> pixels{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::optional<std::int32_t> rounded = modScreen::RoundToInt32(values[i]);
        if (!rounded)
            return;
        pixels[i] = *rounded;
    }
    modResizeLimits::AddWindowLimits(*hWnd, pixels[0], pixels[1], pixels[2], pixels[3]);
}

bool clsResizeLimits::RemoveFormLimits(QObject* frm) {
    const std::optional<QWidget*> hWnd = modObject::GetHandle(frm);
    if (!hWnd)
        return false;
    modResizeLimits::RemoveWindowLimits(*hWnd);
    return true;
}

void clsResizeLimits::RemoveAllLimits() {
    modResizeLimits::RemoveAllWindowLimits();
}
