// The About window: what it shows, how it closes, and its two link boxes.

#include "UiTestSupport.h"
#include "ui/about/frmAbout.h"
#include "winutil/modOpenFolder.h"
#include "winutil/modScreen.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFontDatabase>
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
        // What the program does, in one sentence within its label, and nothing of where it came
        // from.
        QCOMPARE(about.lblDescription->text(),
                 QString("Lists, views and extracts the entries of simple archive files, opens or "
                         "drags them out, and writes archives: replaces, adds, renames or removes "
                         "entries, or makes a new one."));
        // Measured where the platform has fonts to measure with (Windows' offscreen platform
        // under Wine has none).
        if (!QFontDatabase::families().isEmpty())
            QVERIFY(about.lblDescription->heightForWidth(about.lblDescription->width()) <=
                    about.lblDescription->height());
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
        // From the keyboard: Tab from OK reaches the web site, Tab again the e-mail address.
        QTest::newRow("web site, Tab then Enter") << "txtWebSite" << -int(Qt::Key_Return) << false
                                                  << "https://www.example.com/quillmarrow/";
        QTest::newRow("e-mail, Tab twice then Space")
            << "txtEmail" << -int(Qt::Key_Space) << false << "mailto:quillmarrow@example.com";
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
        if (button < 0) {
            for (int tabs = box == "txtEmail" ? 2 : 1; tabs > 0; --tabs)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), link);
            QTest::keyClick(link, Qt::Key(-button));
            QCOMPARE(urls.Opened.size(), 1);
            QCOMPARE(urls.Opened[0].toString(), target);
            QVERIFY(about.isVisible()); // Enter opened the link, not OK
            return;
        }
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

    // A link that no program takes is said so: at once, or when the desktop's opener fails.
    void linkWithoutAProgram_data() {
        QTest::addColumn<bool>("later");
        QTest::newRow("refused at once") << false;
        QTest::newRow("the opener fails") << true;
    }
    void linkWithoutAProgram() {
        QFETCH(bool, later);
        if (later)
            modOpenFolder::SetOpener(QDir::temp().filePath("quillmarrow-no-such-opener"));
        else // openUrl returns false
            QDesktopServices::setUrlHandler("https", &urls, "noSuchSlot");
        frmAbout about(owner.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        Send(about.txtWebSite, QEvent::MouseButtonPress, Qt::LeftButton);
        QTRY_VERIFY(!dialogs->Messages.isEmpty());
        QDesktopServices::setUrlHandler("https", &urls, "open");
        modOpenFolder::SetOpener({});
        QCOMPARE(dialogs->Messages,
                 QList<RecordedMessage>({{"No program could open this link:\n"
                                          "https://www.example.com/quillmarrow/",
                                          modMsgBox::vbExclamation, "Could not open link"}}));
    }

    // Every control of the About window is found by a screen reader with a name; the links
    // also with what they do.
    void accessibleNames_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("icon") << "imgIcon"
                              << "Quillmarrow icon";
        QTest::newRow("title") << "lblTitle"
                               << "Quillmarrow";
        QTest::newRow("web site") << "txtWebSite"
                                  << "https://www.example.com/quillmarrow/";
        QTest::newRow("e-mail") << "txtEmail"
                                << "quillmarrow@example.com";
        QTest::newRow("disclaimer")
            << "lblDisclaimer"
            << "Warning: Not responsible for any lost data.  Be sure to make back up copies.";
        QTest::newRow("OK") << "cmdOK"
                            << "OK";
    }
    void accessibleNames() {
        QFETCH(QString, control);
        QFETCH(QString, name);
        frmAbout about(owner.get());
        about.show();
        const QMap<QString, QStringList> tree = AccessibleTree(&about);
        QVERIFY2(tree.contains(control), qPrintable(tree.keys().join(' ')));
        QCOMPARE(tree[control][0], name);
        if (control.startsWith("txt"))
            QVERIFY(!tree[control][1].isEmpty());
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

    // The etched rule (a grey row over two white rows, between the links and the disclaimer),
    // the links' and the texts' colours: exact in a light palette, the palette's in a dark one.
    void etchedRule_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light palette") << false;
        QTest::newRow("dark palette") << true;
    }
    void etchedRule() {
        QFETCH(bool, dark);
        const QPalette light = QApplication::palette();
        QPalette palette = light;
        if (dark) {
            for (const auto& [role, colour] :
                 {std::pair{QPalette::Window, QColor(0x30, 0x30, 0x30)},
                  {QPalette::Button, QColor(0x40, 0x40, 0x40)},
                  {QPalette::WindowText, QColor(0xee, 0xee, 0xee)},
                  {QPalette::Link, QColor(0x80, 0xc0, 0xff)},
                  {QPalette::Mid, QColor(0x60, 0x60, 0x60)},
                  {QPalette::Dark, QColor(0x20, 0x20, 0x20)}})
                palette.setColor(role, colour);
            QApplication::setPalette(palette);
        }
        frmAbout about(owner.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QImage image = about.grab().toImage();
        QApplication::setPalette(light);
        const int x = image.width() / 2;
        const QColor grey = dark ? palette.color(QPalette::Dark) : QColor(128, 128, 128);
        const QColor white = dark ? palette.color(QPalette::Mid) : QColor(Qt::white);
        QCOMPARE(image.pixelColor(x, modScreen::PixelsY(2565)), grey);
        QCOMPARE(image.pixelColor(x, modScreen::PixelsY(2580)), white);
        QCOMPARE(image.pixelColor(x, modScreen::PixelsY(2580) + 1), white);
        QCOMPARE(about.txtWebSite->palette().color(QPalette::Text),
                 dark ? palette.color(QPalette::Link) : QColor(0, 0, 255));
        QCOMPARE(about.txtWebSite->palette().color(QPalette::Base),
                 palette.color(dark ? QPalette::Window : QPalette::Button));
        for (const QLabel* label : {about.lblTitle, about.lblDescription, about.lblDisclaimer})
            QCOMPARE(label->palette().color(QPalette::WindowText),
                     dark ? palette.color(QPalette::WindowText) : QColor(Qt::black));
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
