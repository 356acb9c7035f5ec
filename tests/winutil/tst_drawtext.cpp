#include "winutil/modDrawText.h"
#include "winutil/modScreen.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

// The longest text of "/x" followed by "a"s no wider than width pixels.
QString WidestFitting(const QFontMetrics& metrics, int width) {
    QString text = QStringLiteral("/x");
    while (metrics.horizontalAdvance(text + QLatin1Char('a')) <= width)
        text += QLatin1Char('a');
    return text;
}

} // namespace

class tst_drawtext : public QObject {
    Q_OBJECT

private slots:
    // The text is fitted to 0.96 x (Width \ TwipsPerPixelX) pixels, not to the label's width.
    void rectangle_data() {
        QTest::addColumn<int>("twipsPerPixel");
        QTest::addColumn<double>("labelWidth"); // twips
        QTest::addColumn<int>("right");
        QTest::newRow("design width at 15") << 15 << 3975.0 << 254;
        QTest::newRow("design width at 12") << 12 << 3975.0 << 318;
        QTest::newRow("laid-out width at 15") << 15 << 6120.0 << 392;
        QTest::newRow("laid-out width at 12") << 12 << 6120.0 << 490;
    }
    void rectangle() {
        QFETCH(int, twipsPerPixel);
        QFETCH(double, labelWidth);
        QFETCH(int, right);
        if (twipsPerPixel != modScreen::TwipsPerPixelX())
            QSKIP("for a screen of another resolution");
        QWidget form;
        QLabel label(&form);
        modScreen::Move(&label, 120, 120, labelWidth, 315);
        const QFontMetrics metrics(form.font());
        const QString fits = WidestFitting(metrics, right);
        modDrawText::FitPath(&form, &label, fits);
        QCOMPARE(label.text(), fits);
        const QString tooWide = fits + QLatin1Char('a');
        modDrawText::FitPath(&form, &label, tooWide);
        QVERIFY(label.text() != tooWide);
    }

    // A path too wide keeps its start and as much of its last component as fits.
    void ellipsis_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("width"); // in widths of "M"
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("grown"); // the part that takes as much as fits
        QTest::newRow("fits unchanged") << "/home/me" << 40 << "/home/me"
                                        << "/home/me"
                                        << "";
        QTest::newRow("slashes") << "/home/someone/games/old/rpg/extracted/Archives" << 18 << "/h"
                                 << ".../Archives"
                                 << "start";
        QTest::newRow("backslashes") << "C:\\Program Files\\Games\\Old\\Rpg\\Data" << 12 << "C:"
                                     << "...\\Data"
                                     << "start";
        QTest::newRow("backslash before slash")
            << "D:\\games\\old/rpg\\data/more\\Last one" << 14 << "D:"
            << "...\\Last one"
            << "start";
        QTest::newRow("last component too wide")
            << "/home/someone/AnExtremelyLongFolderNameThatCannotFit" << 10 << "/..."
            << "Fit"
            << "end";
        QTest::newRow("no separator")
            << "AnExtremelyLongFolderNameWithoutSeparators" << 10 << "A..."
            << "tors"
            << "end";
        QTest::newRow("nothing fits") << "/home/someone/games" << 0 << ""
                                      << ""
                                      << "";
    }
    void ellipsis() {
        QFETCH(QString, path);
        QFETCH(int, width);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, grown);
        const QFontMetrics metrics(QApplication::font());
        const int pixels = width * metrics.horizontalAdvance(QLatin1Char('M'));
        const QString fitted = modDrawText::PathEllipsis(path, metrics, pixels);
        QVERIFY2(metrics.horizontalAdvance(fitted) <= pixels, qPrintable(fitted));
        QVERIFY2(fitted.startsWith(start) || start.isEmpty(), qPrintable(fitted));
        QVERIFY2(fitted.endsWith(end) || end.isEmpty(), qPrintable(fitted));
        if (grown.isEmpty())
            return;
        // As much as fits: one more character of the path on the growing side would not fit.
        QCOMPARE(fitted.count(QStringLiteral("...")), 1);
        const qsizetype cut = fitted.indexOf(QStringLiteral("..."));
        const qsizetype kept = fitted.size() - cut - 3;
        const QString longer = grown == "start" ? path.left(cut + 1) + fitted.mid(cut)
                                                : fitted.left(cut + 3) + path.right(kept + 1);
        QVERIFY2(metrics.horizontalAdvance(longer) > pixels, qPrintable(longer));
    }

    // The width of a text need not grow with its length (a character takes another form, or
    // another font, beside other neighbours): a text that fits is not missed for a shorter one
    // that does not. Cases found over random paths of mixed scripts with the fonts here; where a
    // row's text does not fit, the fonts differ and the row proves nothing.
    void shaping_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QString>("fits"); // the result keeps no less than this fitting text
        QTest::newRow("end after a Devanagari conjunct")
            << "/home/user/archives/x\u0915\u094D\u0937" << 59 << "/...x\u0915\u094D\u0937";
        QTest::newRow("start with Devanagari")
            << "/\u0930 i\u0937/VA/\u0647\u0645" << 86 << "/\u0930 i.../\u0647\u0645";
    }
    void shaping() {
        QFETCH(QString, path);
        QFETCH(int, pixels);
        QFETCH(QString, fits);
        const QFontMetrics metrics(QApplication::font());
        if (metrics.horizontalAdvance(fits) > pixels)
            QSKIP("other fonts");
        const QString fitted = modDrawText::PathEllipsis(path, metrics, pixels);
        QVERIFY2(metrics.horizontalAdvance(fitted) <= pixels, qPrintable(fitted));
        QVERIFY2(fitted.size() >= fits.size(), qPrintable(fitted));
    }

    // A long path is cut between whole characters, the same ones a look at the whole text finds,
    // also inside long runs of characters that join (flags pair up from the run's start).
    void wholeCharacters_data() {
        QTest::addColumn<QString>("path");
        const QString flag = QString::fromUtf8("\xF0\x9F\x87\xA9"); // a regional indicator
        const QString family = QString::fromUtf8("\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
        QTest::newRow("an odd run of flags at the end") << "/home/x/b" + flag.repeated(101);
        QTest::newRow("a run of flags longer than the look-back")
            << "/home/x/" + flag.repeated(1001);
        QTest::newRow("a run of flags at the start") << flag.repeated(301) + "/x/Archives";
        const QString accented = "e" + QString::fromUtf8("\xCC\x81").repeated(300);
        QTest::newRow("letters with 300 combining marks")
            << accented + "/home/someone/x/" + QString(60, 'z') + accented + "z";
        QTest::newRow("joined emoji and combining marks")
            << "/x/" + (family + QString::fromUtf8("e\xCC\x81\xCC\x82")).repeated(200);
    }
    void wholeCharacters() {
        QFETCH(QString, path);
        const QFontMetrics metrics(QApplication::font());
        QTextBoundaryFinder whole(QTextBoundaryFinder::Grapheme, path);
        // From a width that holds the ellipsis, which some fonts make wider than 40 pixels.
        const int narrowest = std::max(40, metrics.horizontalAdvance(QStringLiteral("...")));
        for (int width = narrowest; width <= 400; width += 9) {
            const QString fitted = modDrawText::PathEllipsis(path, metrics, width);
            const qsizetype start = fitted.indexOf(QStringLiteral("..."));
            QVERIFY2(start >= 0, qPrintable(fitted));
            const qsizetype end = path.size() - (fitted.size() - start - 3);
            QCOMPARE(fitted, path.left(start) + "..." + path.mid(end));
            for (const qsizetype cut : {start, end}) {
                whole.setPosition(cut);
                QVERIFY2(whole.isAtBoundary(), qPrintable(QString::number(cut)));
            }
        }
    }

    // Caption, tag and tooltip.
    void fitPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("shortened");
        QTest::newRow("fits") << "/home/me" << false;
        QTest::newRow("too wide") << QString("/home/") + QString(200, 'x') + "/Archives" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("looks like markup") << "/home/<b>bold</b>" << false;
    }
    void fitPath() {
        QFETCH(QString, path);
        QFETCH(bool, shortened);
        QWidget form;
        QLabel label(&form);
        modScreen::Move(&label, 120, 120, 3975, 315);
        label.setToolTip("old tooltip");
        modDrawText::FitPath(&form, &label, path);
        QCOMPARE(label.property("Tag").toString(), path);
        QCOMPARE(label.text() != path, shortened);
        QCOMPARE(label.toolTip(), shortened ? path : QString());
        QCOMPARE(label.textFormat(), Qt::PlainText);

        // Widening the label later does not re-fit it.
        const QString caption = label.text();
        modScreen::SetWidth(&label, 12000);
        QCOMPARE(label.text(), caption);
    }
};

QTEST_MAIN(tst_drawtext)
#include "tst_drawtext.moc"
