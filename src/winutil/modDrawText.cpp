#include "winutil/modDrawText.h"

#include "winutil/modScreen.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTextBoundaryFinder>
#include <QWidget>

#include <cmath>
#include <vector>

namespace modDrawText {

namespace {

const QString Ellipsis = QStringLiteral("...");

// The positions between whole characters (grapheme clusters), from 0 to the length: the only
// places where the path may be cut.
std::vector<qsizetype> CutPositions(const QString& text) {
    std::vector<qsizetype> positions;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype at = 0; at >= 0; at = finder.toNextBoundary())
        positions.push_back(at);
    return positions;
}

} // namespace

QString PathEllipsis(const QString& path, const QFontMetrics& metrics, int width) {
    const auto fits = [&](const QString& text) { return metrics.horizontalAdvance(text) <= width; };
    if (fits(path))
        return path;

    // The last component begins at the last separator, which it keeps.
    const qsizetype lastSeparator =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const qsizetype tailStart = std::max<qsizetype>(lastSeparator, 0);
    const std::vector<qsizetype> cuts = CutPositions(path);

    // The whole last component and as much of the start as fits, at least one character.
    if (tailStart > 0) {
        const QString tail = Ellipsis + path.mid(tailStart);
        for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
            if (*cut == 0 || *cut > tailStart)
                continue;
            QString text = path.left(*cut) + tail;
            if (fits(text))
                return text;
        }
    }

    // Too narrow for that: the first character, then as much of the end as fits.
    if (cuts.size() < 2)
        return QString();
    const QString start = path.left(cuts[1]) + Ellipsis;
    for (std::size_t i = 1; i < cuts.size(); ++i) {
        QString text = start + path.mid(cuts[i]);
        if (cuts[i] > tailStart && fits(text))
            return text;
    }
    return fits(Ellipsis) ? Ellipsis : QString();
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
