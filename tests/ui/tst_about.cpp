// The About window: what it shows, how it closes, and its two link boxes.

#include "UiTestSupport.h"
#include "ui/about/frmAbout.h"
#include "winutil/modScreen.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

// Receives what the link boxes hand to the system instead of a browser or mail program.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void open(const QUrl& url) { Opened.append(url); }
};

namespace {

void Send(QWidget* box, QEvent::Type type, Qt::MouseButton button) {
    const QPointF at(5, 5);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, at, box->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(box, &event);
}

// The cursor Qt shows at a point of the window: that of the widget under it.
Qt::CursorShape CursorAt(QWidget* window, QPoint at) {
    const QWidget* under = window->childAt(at);
    return (under ? under : window)->cursor().shape();
}

// The lowest pixel row in rect (image coordinates) that has a pixel of the text's colour: the
// baseline of text without descenders.
int LowestRow(const QImage& image, QRect rect, bool blue) {
    for (int y = rect.bottom(); y >= rect.top(); --y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (blue ? c.blue() - c.red() > 100 : c.lightness() < 100)
                return y;
        }
    }
    return -1;
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private:
    QTemporaryDir appDir;
    UrlRecorder urls;
    std::unique_ptr<DialogRecorder> dialogs;
    std::unique_ptr<frm> owner;

private slots:
    void initTestCase() {
        frm::SetAppPath(appDir.path());
        for (const char* scheme : {"http", "https", "mailto", "file"})
            QDesktopServices::setUrlHandler(scheme, &urls, "open");
    }
    void cleanupTestCase() {
        for (const char* scheme : {"http", "https", "mailto", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    void init() {
        dialogs = std::make_unique<DialogRecorder>();
        owner = std::make_unique<frm>();
        owner->show();
        urls.Opened.clear();
    }
    void cleanup() {
        owner.reset();
        dialogs.reset();
    }

    void showsTitleVersionAndIcon() {
        frmAbout about(owner.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.windowTitle(), QString("About Quillmarrow"));
        QCOMPARE(about.lblTitle->text(), QString("Quillmarrow"));
        QVERIFY(about.lblTitle->font().bold());
        QCOMPARE(about.lblVersion->text(), QString("Version 1.0.0"));
        QCOMPARE(
            about.lblDisclaimer->text(),
            QString(
                "Warning: Not responsible for any lost data.  Be sure to make back up copies."));
        QCOMPARE(about.txtWebSite->text(), QString("https://www.example.com/quillmarrow/"));
        QCOMPARE(about.txtEmail->text(), QString("quillmarrow@example.com"));
        // What the program does, in one sentence, and nothing of where it came from.
        QCOMPARE(about.lblDescription->text(),
                 QString("Lists the entries of simple archive files and copies the entries you "
                         "select into a folder, one file per entry."));
        QVERIFY(!about.imgIcon->pixmap().isNull());
        QCOMPARE(about.windowIcon().cacheKey(), owner->windowIcon().cacheKey());
        QCOMPARE(about.size(), QSize(modScreen::PixelsX(5730), modScreen::PixelsY(3255)));
        QCOMPARE(about.minimumSize(), about.maximumSize()); // cannot be resized
        QCOMPARE(QApplication::focusWidget(), about.cmdOK);
        QCOMPARE(about.txtWebSite->palette().color(QPalette::Text), QColor(0, 0, 255));
        QVERIFY(about.txtEmail->font().underline());
    }

    void closes_data() {
        QTest::addColumn<int>("key"); // 0: click OK
        QTest::newRow("OK") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void closes() {
        QFETCH(int, key);
        frmAbout about(owner.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        if (key == 0)
            QTest::mouseClick(about.cmdOK, Qt::LeftButton);
        else
            QTest::keyClick(&about, Qt::Key(key));
        QVERIFY(!about.isVisible());
    }

    void links_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("target");
        QTest::newRow("web site, left button") << "txtWebSite" << int(Qt::LeftButton) << false
                                               << "https://www.example.com/quillmarrow/";
        QTest::newRow("web site, right button") << "txtWebSite" << int(Qt::RightButton) << false
                                                << "https://www.example.com/quillmarrow/";
        QTest::newRow("web site, double-click opens once")
            << "txtWebSite" << int(Qt::LeftButton) << true
            << "https://www.example.com/quillmarrow/";
        QTest::newRow("e-mail, left button")
            << "txtEmail" << int(Qt::LeftButton) << false << "mailto:quillmarrow@example.com";
        QTest::newRow("e-mail, middle button")
            << "txtEmail" << int(Qt::MiddleButton) << false << "mailto:quillmarrow@example.com";
    }
    void links() {
        QFETCH(QString, box);
        QFETCH(int, button);
        QFETCH(bool, doubleClick);
        QFETCH(QString, target);
        frmAbout about(owner.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto* link = about.findChild<QWidget*>(box);
        const auto click = Qt::MouseButton(button);
        Send(link, QEvent::MouseButtonPress, click);
        Send(link, QEvent::MouseButtonRelease, click);
        if (doubleClick) { // Qt delivers the second press as a double-click
            Send(link, QEvent::MouseButtonDblClick, click);
            Send(link, QEvent::MouseButtonRelease, click);
        }
        QCOMPARE(urls.Opened.size(), 1);
        QCOMPARE(urls.Opened[0].toString(), target);
        QCOMPARE(QApplication::focusWidget(), about.cmdOK);
        QVERIFY(about.isVisible());
    }

    // The hand cursor shows over the links' text and nowhere else, and moving the pointer over
    // them takes no hold of the mouse.
    void cursor_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("offset"); // pixels right of the text's start (< 0: of its end)
        QTest::addColumn<bool>("hand");
        QTest::newRow("web site, on its text") << "txtWebSite" << 3 << true;
        QTest::newRow("web site, past its text") << "txtWebSite" << -8 << false;
        QTest::newRow("e-mail, on its text") << "txtEmail" << 3 << true;
        QTest::newRow("e-mail, past its text") << "txtEmail" << -8 << false;
    }
    void cursor() {
        QFETCH(QString, box);
        QFETCH(int, offset);
        QFETCH(bool, hand);
        frmAbout about(owner.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto* link = about.findChild<QLineEdit*>(box);
        const int textWidth = link->fontMetrics().horizontalAdvance(link->text());
        const QPoint at = link->geometry().topLeft() +
                          QPoint(offset >= 0 ? offset : textWidth - offset, link->height() / 2);
        QTest::mouseMove(&about, at);
        QCOMPARE(CursorAt(&about, at) == Qt::PointingHandCursor, hand);
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
    }

    // The etched rule: a grey row over two white rows, between the links and the disclaimer.
    void etchedRule() {
        frmAbout about(owner.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QImage image = about.grab().toImage();
        const int x = image.width() / 2;
        QCOMPARE(image.pixelColor(x, modScreen::PixelsY(2565)), QColor(128, 128, 128));
        QCOMPARE(image.pixelColor(x, modScreen::PixelsY(2580)), QColor(Qt::white));
        QCOMPARE(image.pixelColor(x, modScreen::PixelsY(2580) + 1), QColor(Qt::white));
    }

    // "website:" and "email:" stand on their links' baselines, measured on the rendered window
    // (letters without descenders, the links' underline turned off).
    void labelsOnTheLinksBaselines_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("before"); // the link's text before the letters measured
        QTest::addColumn<QString>("letters");
        QTest::newRow("website:") << 0 << "txtWebSite"
                                  << ""
                                  << "htt";
        QTest::newRow("email:") << 1 << "txtEmail"
                                << "qu"
                                << "ill";
    }
    void labelsOnTheLinksBaselines() {
        QFETCH(int, index);
        QFETCH(QString, box);
        QFETCH(QString, before);
        QFETCH(QString, letters);
        frmAbout about(owner.get());
        auto* link = about.findChild<QLineEdit*>(box);
        QFont font = link->font();
        font.setUnderline(false);
        link->setFont(font);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QImage image = about.grab().toImage();
        const QFontMetrics metrics(font);
        const int left = link->x() + 2 + metrics.horizontalAdvance(before);
        const QRect letterColumns(left, link->y(), metrics.horizontalAdvance(letters),
                                  link->height());
        const int linkBaseline = LowestRow(image, letterColumns, true);
        const int labelBaseline = LowestRow(image, about.lbl[index]->geometry(), false);
        QVERIFY(linkBaseline > 0);
        QCOMPARE(labelBaseline, linkBaseline);
    }

    // Help, About shows the window modally over the main window; the check runs inside the
    // dialog's own event loop, then closes it as the user would, with OK.
    void openedFromTheMenu() {
        QString caption;
        QWidget* parent = nullptr;
        bool modal = false;
        QTimer::singleShot(0, this, [&] {
            auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
            QVERIFY(about);
            caption = about->windowTitle();
            parent = about->parentWidget();
            modal = about->isModal();
            about->cmdOK->click();
        });
        owner->mnuHelpAbout->trigger();
        QCOMPARE(caption, QString("About Quillmarrow"));
        QCOMPARE(parent, static_cast<QWidget*>(owner.get()));
        QVERIFY(modal);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
