#include "winutil/modDrawText.h"

#include "winutil/modScreen.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTextBoundaryFinder>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace modDrawText {

namespace {

const QString Ellipsis = QStringLiteral("...");
// How many cuts past the one found, all too wide, end the look for a longer text that fits.
constexpr int Neighbours = 8;

// Whether the text made of the parts is no wider than width pixels. A text of many more
// characters than the width has pixels is first measured by its start alone: when that is too
// wide already, so is the whole, and a long path costs no more than a short one.
bool Fits(const QFontMetrics& metrics, int width, std::initializer_list<QStringView> parts) {
    qsizetype size = 0;
    for (const QStringView part : parts)
        size += part.size();
    const qsizetype probe = 4 * static_cast<qsizetype>(std::max(width, 0)) + 16;
    if (size > probe) {
        QString start;
        for (const QStringView part : parts)
            start += part.first(std::min(part.size(), probe - start.size()));
        if (start.back().isHighSurrogate())
            start.chop(1); // whole characters only
        if (metrics.horizontalAdvance(start) > width)
            return false;
    }
    QString text;
    text.reserve(size);
    for (const QStringView part : parts)
        text += part;
    return metrics.horizontalAdvance(text) <= width;
}

// The places between whole characters (grapheme clusters) where the path may be cut. A cut is
// found in a part of the text around its position, so that a long path costs no more than a short
// one. The part starts at a character below U+0080: no rule that joins characters into one looks
// back past such a character, so every cut inside the part is the cut of the whole text. Only a
// cut at an edge of the part is in doubt, and then the part is widened; where no such character
// lies near, the whole text is used.
class Cuts {
public:
    explicit Cuts(const QString& text) : text_(text) {}
    // The last cut at or before position, and the first at or after it.
    qsizetype Down(qsizetype position) { return Snap(position, false); }
    qsizetype Up(qsizetype position) { return Snap(position, true); }

private:
    static constexpr qsizetype Margin = 64; // the part's first reach on each side
    static constexpr qsizetype Reach = 1024;

    qsizetype Snap(qsizetype position, bool up) {
        for (qsizetype margin = Margin;; margin *= 2) {
            // The part around position, or the whole text once no part will do.
            qsizetype from = Whole() || margin > Reach ? -1 : Start(position - margin);
            qsizetype to = std::min(text_.size(), position + margin);
            if (from < 0) {
                from = 0;
                to = text_.size();
            }
            Look(from, to);
            finder_.setPosition(position - from);
            qsizetype cut = position - from;
            if (!finder_.isAtBoundary())
                cut = up ? finder_.toNextBoundary() : finder_.toPreviousBoundary();
            cut += from;
            if ((cut > from || from == 0) && (cut < to || to == text_.size()))
                return cut;
        }
    }

    // The last position at or before position that holds a character below U+0080, the start of
    // the text, or -1 when neither is near.
    qsizetype Start(qsizetype position) const {
        if (position <= 0)
            return 0;
        for (const qsizetype last = position - Reach; position > last; --position) {
            if (position == 0 || text_[position].unicode() < 0x80)
                return position;
        }
        return -1;
    }

    bool Whole() const { return from_ == 0 && to_ == text_.size(); }

    void Look(qsizetype from, qsizetype to) {
        if (from == from_ && to == to_)
            return;
        finder_ =
            QTextBoundaryFinder(QTextBoundaryFinder::Grapheme, text_.constData() + from, to - from);
        from_ = from;
        to_ = to;
    }

    const QString& text_;
    QTextBoundaryFinder finder_;
    qsizetype from_ = 0;
    qsizetype to_ = -1; // the part the finder covers, none yet
};

// The first position in [low, high] where holds is false, high + 1 when there is none, for a
// test that holds up to some point and not after it. Each step tests once.
template <class F> qsizetype PartitionPoint(qsizetype low, qsizetype high, F&& holds) {
    ++high;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (holds(middle))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The cuts past found, each given by next (-1 after the last), are tried while one of the
// Neighbours cuts after found, or after the last cut that fitted, is still untried. Returns the
// last cut that fitted, found when none did.
template <class N, class F> qsizetype Widen(qsizetype found, N&& next, F&& fits) {
    int misses = 0;
    for (qsizetype at = next(found); at >= 0 && misses < Neighbours; at = next(at)) {
        if (fits(at)) {
            found = at;
            misses = 0;
        } else {
            ++misses;
        }
    }
    return found;
}

} // namespace

// Each part is found by a binary search over the cut, which assumes that the width grows with the
// text kept: a bounded number of measurements however long the path is. Shaping breaks that
// assumption near the answer (a character takes another form, or another font, beside other
// neighbours, so a longer text can be narrower), so the cuts just past the one found are tried
// too.
QString PathEllipsis(const QString& path, const QFontMetrics& metrics, int width) {
    const QStringView all = path;
    if (Fits(metrics, width, {all}))
        return path;
    Cuts cuts(path);
    const qsizetype first = path.isEmpty() ? -1 : cuts.Up(1); // the end of the first character
    if (first < 0)
        return QString();

    // The last component begins at the last separator, which it keeps.
    const qsizetype lastSeparator =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const qsizetype tailStart = std::max<qsizetype>(lastSeparator, 0);

    // The whole last component and as much of the start as fits, at least one character.
    if (tailStart > 0 && first <= tailStart) {
        const QStringView tail = all.sliced(tailStart);
        const auto fits = [&](qsizetype keep) {
            return Fits(metrics, width, {all.first(keep), Ellipsis, tail});
        };
        const qsizetype past =
            PartitionPoint(first, tailStart, [&](qsizetype at) { return fits(cuts.Down(at)); });
        const auto longer = [&](qsizetype keep) {
            const qsizetype next = keep < first ? first : cuts.Up(keep + 1);
            return keep < tailStart && next <= tailStart ? next : -1;
        };
        const qsizetype keep = Widen(past > first ? cuts.Down(past - 1) : -1, longer, fits);
        if (keep >= first)
            return path.left(keep) + Ellipsis + path.mid(tailStart);
    }

    // Too narrow for that: the first character, then as much of the end as fits, the end
    // beginning after the last separator.
    const QStringView start = all.first(first);
    const qsizetype from = std::max(first, tailStart + 1);
    const auto fits = [&](qsizetype end) {
        return Fits(metrics, width, {start, Ellipsis, all.sliced(end)});
    };
    const qsizetype at =
        PartitionPoint(from, path.size(), [&](qsizetype at) { return !fits(cuts.Up(at)); });
    const auto longer = [&](qsizetype end) {
        const qsizetype next = end > from ? cuts.Down(end - 1) : -1;
        return next >= from ? next : -1;
    };
    const qsizetype end = Widen(at <= path.size() ? cuts.Up(at) : path.size() + 1, longer, fits);
    if (end <= path.size())
        return start.toString() + Ellipsis + path.mid(end);
    return Fits(metrics, width, {Ellipsis}) ? Ellipsis : QString();
}

void FitPath(const QWidget* form, QLabel* label, const QString& path) {
    const int right = static_cast<int>(std::lround(
        0.96 * modScreen::IntDiv(modScreen::Width(label), modScreen::TwipsPerPixelX())));
    const QString fitted = PathEllipsis(path, QFontMetrics(form->font()), right);

    label->setTextFormat(Qt::PlainText);
    label->setText(fitted);
    label->setProperty("Tag", path);
    label->setToolTip(fitted == path ? QString() : path);
}

} // namespace modDrawText
