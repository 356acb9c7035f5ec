#include "winutil/modResizeLimits.h"

#include "winutil/modScreen.h"

#include <QEvent>

#include <algorithm>
#include <optional>

namespace modResizeLimits {

namespace {

std::vector<WindowLimits>& List() {
    static std::vector<WindowLimits> list(1);
    return list;
}

int ClampSize(std::int64_t pixels) {
    return static_cast<int>(std::clamp<std::int64_t>(pixels, 0, QWIDGETSIZE_MAX));
}

// The replacement window procedure of one window: a child of the window, so that it goes with
// it. It stays after being removed, so that a record still holding it reads as subclassed.
class LimitsWindowProc final : public QObject {
    Q_OBJECT

public:
    explicit LimitsWindowProc(QWidget* window) : QObject(window) {}

    void Install(QWidget* window) {
        if (installed_)
            return; // already in place: installing it twice would lose what it keeps
        previousMinimum_ = window->minimumSize();
        previousMaximum_ = window->maximumSize();
        // A window sized by its program and not shown yet opens at that size: the limits hold
        // what the user can drag it to and never enlarge its first display, where the
        // platform's frame is thinner than the one the minimum counts on.
        opening_ = !window->isVisible() && window->testAttribute(Qt::WA_Resized) ? window->size()
                                                                                 : QSize();
        applied_.reset();
        installed_ = true;
        window->installEventFilter(this);
    }

    void Remove(QWidget* window) {
        if (!installed_)
            return;
        installed_ = false;
        window->removeEventFilter(this);
        window->setMinimumSize(previousMinimum_);
        window->setMaximumSize(previousMaximum_);
    }

    bool IsInstalled() const { return installed_; }

    // Applies the record's limits now; the next move or resize applies them only if they or
    // the frame changed.
    void Query(QWidget* window) {
        applied_.reset();
        Apply(window);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move: // the frame's size may have become known
        case QEvent::Resize:
        case QEvent::WindowStateChange:
            Apply(static_cast<QWidget*>(watched));
            break;
        default:
            break;
        }
        return false; // every event goes on to the window
    }

private:
    struct Sizes {
        QSize Minimum;
        QSize Maximum;
        bool operator==(const Sizes&) const = default;
    };

    // Sets the window's minimum and maximum size from its record and its frame. Only in the
    // normal state: a maximized, full-screen or minimized window is placed by the window
    // manager, and changing its size hints then would make the manager restore it to the
    // wrong size. Nothing is set again while the limits and the frame stay the same.
    void Apply(QWidget* window) {
        if (window->windowState() &
            (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
            return;
        const int i = FindWindowIndex(window);
        if (i < 0)
            return; // the list was reset under a subclassed window: leave it as it is
        const WindowLimits& limits = List()[static_cast<std::size_t>(i)];
        const std::int64_t maxX = limits.MaxX != 0 ? limits.MaxX
                                                   : modScreen::IntDiv(modScreen::Screen::Width(),
                                                                       modScreen::TwipsPerPixelX());
        const std::int64_t maxY = limits.MaxY != 0 ? limits.MaxY
                                                   : modScreen::IntDiv(modScreen::Screen::Height(),
                                                                       modScreen::TwipsPerPixelY());
        // The limits are for the whole window; Qt's sizes are those inside the frame.
        const QMargins frame = modScreen::Frame(window);
        const int frameX = frame.left() + frame.right();
        const int frameY = frame.top() + frame.bottom();
        Sizes sizes{{ClampSize(std::int64_t{limits.MinX} - frameX),
                     ClampSize(std::int64_t{limits.MinY} - frameY)},
                    {ClampSize(maxX - frameX), ClampSize(maxY - frameY)}};
        if (opening_.isValid())
            sizes.Minimum = sizes.Minimum.boundedTo(opening_);
        if (applied_ == sizes)
            return;
        applied_ = sizes;
        window->setMinimumSize(sizes.Minimum);
        window->setMaximumSize(sizes.Maximum);
    }

    QSize previousMinimum_;
    QSize previousMaximum_;
    QSize opening_;                // the size the window opens at; invalid when none
    std::optional<Sizes> applied_; // what Apply set last
    bool installed_ = false;
};

LimitsWindowProc* FindProc(const QWidget* window) {
    return window->findChild<LimitsWindowProc*>(QString(), Qt::FindDirectChildrenOnly);
}

// Installs LimitsWindowProc on the window and returns what it replaced; null on failure.
QObject* Subclass(QWidget* window) {
    if (!window)
        return nullptr;
    LimitsWindowProc* proc = FindProc(window);
    if (!proc)
        proc = new LimitsWindowProc(window);
    proc->Install(window);
    return proc;
}

// Puts the previous procedure back if it is the one installed now.
void Unsubclass(QWidget* window, QObject* previous) {
    auto* proc = qobject_cast<LimitsWindowProc*>(previous);
    if (window && proc && proc->parent() == window)
        proc->Remove(window);
}

} // namespace

const std::vector<WindowLimits>& WindowList() {
    return List();
}

void ResetWindowList() {
    List().assign(1, WindowLimits{});
}

int FindWindowIndex(const QWidget* hWnd) {
    const std::vector<WindowLimits>& list = List();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].hWnd.data() == hWnd)
            return static_cast<int>(i);
    }
    return -1;
}

void AddWindowLimits(QWidget* hWnd, std::int32_t MinX, std::int32_t MinY, std::int32_t MaxX,
                     std::int32_t MaxY) {
    int i = FindWindowIndex(hWnd);
    if (i < 0) {
        List().emplace_back();
        i = static_cast<int>(List().size()) - 1;
        List().back().hWnd = hWnd;
    }
    WindowLimits& record = List()[static_cast<std::size_t>(i)];
    record.MinX = MinX;
    record.MinY = MinY;
    record.MaxX = MaxX;
    record.MaxY = MaxY;
    if (record.PrevWndProc.isNull())
        record.PrevWndProc = Subclass(hWnd);
    if (LimitsWindowProc* proc = hWnd ? FindProc(hWnd) : nullptr; proc && proc->IsInstalled())
        proc->Query(hWnd); // the window asks for its limits again
}

void RemoveWindowLimits(QWidget* hWnd) {
    const int i = FindWindowIndex(hWnd);
    if (i < 0)
        return;
    WindowLimits& record = List()[static_cast<std::size_t>(i)];
    Unsubclass(hWnd, record.PrevWndProc);
    record.hWnd = nullptr;
    record.PrevWndProc = nullptr;
}

void RemoveAllWindowLimits() {
    for (const WindowLimits& record : List()) {
        if (!record.hWnd.isNull())
            Unsubclass(record.hWnd, record.PrevWndProc);
    }
}

bool IsSubclassed(const QWidget* hWnd) {
    const LimitsWindowProc* proc = hWnd ? FindProc(hWnd) : nullptr;
    return proc && proc->IsInstalled();
}

} // namespace modResizeLimits

#include "modResizeLimits.moc"
