#include "winutil/modMsgBox.h"

#include <QAbstractButton>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>

class TestMsgBox : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { modMsgBox::SetShowHandler({}); }

    // The box made for each style the program uses: icon, buttons, title, and the prompt shown
    // as plain text even where it looks like markup.
    void madeBox_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::newRow("16 critical") << 16 << int(QMessageBox::Critical);
        QTest::newRow("48 exclamation") << 48 << int(QMessageBox::Warning);
        QTest::newRow("64 information") << 64 << int(QMessageBox::Information);
    }
    void madeBox() {
        QFETCH(int, style);
        QFETCH(int, icon);
        const QString prompt("Could not read /opt/<b>x</b>/a.dat: No such file");
        const auto box = modMsgBox::MakeBox(prompt, style, "Could not read archive", nullptr);
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(box->windowTitle(), QString("Could not read archive"));
        QCOMPARE(box->text(), prompt);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->buttons().size(), 1);
    }

    // A box raised without an owner belongs to the active window, or else to the visible main
    // window (none is active just after the folder dialog closes): centred over it, with its
    // icon, modal to it.
    void owner_data() {
        QTest::addColumn<bool>("active");
        QTest::newRow("main window active") << true;
        QTest::newRow("no window active") << false;
    }
    void owner() {
        QFETCH(bool, active);
        QMainWindow main;
        QIcon icon(QPixmap(16, 16));
        main.setWindowIcon(icon);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QWidget other; // a window that is neither active nor a main window
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QApplication::setActiveWindow(active ? &main : nullptr);
        QWidget* parent = nullptr;
        Qt::WindowModality modality = Qt::NonModal;
        qint64 iconKey = 0;
        modMsgBox::SetShowHandler([&](QMessageBox& box) {
            parent = box.parentWidget();
            modality = box.windowModality();
            iconKey = box.windowIcon().cacheKey();
            return int(modMsgBox::vbOK);
        });
        QCOMPARE(modMsgBox::MsgBox("Extraction complete.", modMsgBox::vbInformation, "Complete"),
                 int(modMsgBox::vbOK));
        QCOMPARE(parent, &main);
        QCOMPARE(modality, Qt::WindowModal);
        QCOMPARE(iconKey, main.windowIcon().cacheKey());
    }
};

QTEST_MAIN(TestMsgBox)
#include "tst_msgbox.moc"
