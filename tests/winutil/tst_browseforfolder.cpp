#include "winutil/modBrowseForFolder.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class tst_browseforfolder : public QObject {
    Q_OBJECT

private slots:
    // The real dialog of each call, looked at through the show hook: over its owner, with its
    // title, showing only folders and opened at the initial folder. A typed folder that does
    // not exist yet is accepted only by the output folder's dialog, which returns it.
    void shownDialog_data() {
        QTest::addColumn<bool>("output"); // BrowseForOutputFolder, else BrowseForFolder
        QTest::addColumn<QString>("title");
        QTest::newRow("folder") << false << "Select a folder";
        QTest::newRow("output folder") << true << "Select the output folder";
    }
    void shownDialog() {
        QFETCH(bool, output);
        QFETCH(QString, title);
        QTemporaryDir folder;
        const QString typed = QDir(folder.path()).absoluteFilePath("new");
        QWidget owner;
        bool shown = false, acceptsNew = false;
        modBrowseForFolder::SetShowHandler([&](QFileDialog& dialog) {
            shown = true;
            [&] {
                QCOMPARE(dialog.parentWidget(), &owner);
                QCOMPARE(dialog.windowTitle(), title);
                QCOMPARE(dialog.fileMode(), QFileDialog::Directory);
                QVERIFY(dialog.testOption(QFileDialog::ShowDirsOnly));
                QCOMPARE(dialog.directory().absolutePath(), QDir(folder.path()).absolutePath());
            }();
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText(typed);
            acceptsNew = dialog.findChild<QDialogButtonBox*>("buttonBox")
                             ->button(QDialogButtonBox::Open)
                             ->isEnabled();
            if (!acceptsNew) // its own check would show a message box
                return int(QDialog::Rejected);
            static_cast<QDialog&>(dialog).accept(); // as its button would
            return dialog.result();
        });
        const QString chosen =
            output ? modBrowseForFolder::BrowseForOutputFolder(folder.path(), &owner, title)
                   : modBrowseForFolder::BrowseForFolder(folder.path(), &owner, title);
        modBrowseForFolder::SetShowHandler({});
        QVERIFY(shown);
        QCOMPARE(acceptsNew, output);
        QCOMPARE(chosen, output ? QDir::toNativeSeparators(typed) : QString());
    }
};

QTEST_MAIN(tst_browseforfolder)
#include "tst_browseforfolder.moc"
