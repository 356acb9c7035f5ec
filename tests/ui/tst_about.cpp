// The About window: what it shows, how it closes, and its two link boxes.

#include "UiTestSupport.h"
#include "ui/about/frmAbout.h"
#include "winutil/modMouseOver.h"
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

void SendMove(QWidget* box, QPointF at) {
    QMouseEvent move(QEvent::MouseMove, at, box->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(box, &move);
}

void SendPress(QWidget* box, Qt::MouseButton button) {
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, box->mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(box, &press);
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
        QTest::addColumn<QString>("target");
        QTest::newRow("web site, left button")
            << "txtWebSite" << int(Qt::LeftButton) << "https://www.example.com/quillmarrow/";
        QTest::newRow("web site, right button")
            << "txtWebSite" << int(Qt::RightButton) << "https://www.example.com/quillmarrow/";
        QTest::newRow("e-mail, left button")
            << "txtEmail" << int(Qt::LeftButton) << "mailto:quillmarrow@example.com";
        QTest::newRow("e-mail, middle button")
            << "txtEmail" << int(Qt::MiddleButton) << "mailto:quillmarrow@example.com";
    }
    void links() {
        QFETCH(QString, box);
        QFETCH(int, button);
        QFETCH(QString, target);
        frmAbout about(owner.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        SendPress(about.findChild<QWidget*>(box), Qt::MouseButton(button));
        QCOMPARE(urls.Opened.size(), 1);
        QCOMPARE(urls.Opened[0].toString(), target);
        QCOMPARE(QApplication::focusWidget(), about.cmdOK);
        QVERIFY(about.isVisible());
    }

    void hover() {
        frmAbout about(owner.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(!modMouseOver::MouseCaptured());
        SendMove(about.txtWebSite, QPointF(3, 3));
        QVERIFY(modMouseOver::MouseCaptured());
        QCOMPARE(about.txtWebSite->cursor().shape(), Qt::PointingHandCursor);
        // Off the box (the capture still delivers the move to it): the hover ends.
        SendMove(about.txtWebSite, QPointF(about.txtWebSite->width() + 20, 3));
        QVERIFY(!modMouseOver::MouseCaptured());
        QCOMPARE(about.cursor().shape(), Qt::ArrowCursor);
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
