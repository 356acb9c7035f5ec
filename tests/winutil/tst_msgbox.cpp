#include "winutil/modMsgBox.h"

#include <QTest>

class TestMsgBox : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { modMsgBox::SetHandler({}); }

    // The handler sees the call unchanged and its answer is MsgBox's result; a later handler
    // replaces the earlier one.
    void handlerReplacesTheBox() {
        QStringList first, second;
        modMsgBox::SetHandler([&](const QString& p, int b, const QString& t) {
            first << QString("%1|%2|%3").arg(p).arg(b).arg(t);
            return 1;
        });
        QCOMPARE(modMsgBox::MsgBox("clsINI.SaveFile: x", 16, "Could not save INI file."), 1);
        modMsgBox::SetHandler([&](const QString& p, int b, const QString& t) {
            second << QString("%1|%2|%3").arg(p).arg(b).arg(t);
            return 7;
        });
        QCOMPARE(modMsgBox::MsgBox("Extraction complete.", 64, "Complete"), 7);
        QCOMPARE(first, QStringList{"clsINI.SaveFile: x|16|Could not save INI file."});
        QCOMPARE(second, QStringList{"Extraction complete.|64|Complete"});
    }
};

QTEST_GUILESS_MAIN(TestMsgBox)
#include "tst_msgbox.moc"
