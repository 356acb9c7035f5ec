#include "winutil/modBrowseForFolder.h"

#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>

class tst_browseforfolder : public QObject {
    Q_OBJECT

private slots:
    // The dialog as made for each caller: over its owner, with its title, showing only folders
    // and opened at the initial folder.
    void madeDialog_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("folder") << "Select a folder";
        QTest::newRow("output folder") << "Select the output folder";
    }
    void madeDialog() {
        QFETCH(QString, title);
        QTemporaryDir folder;
        QWidget owner;
        const auto dialog = modBrowseForFolder::MakeDialog(folder.path(), &owner, title);
        QCOMPARE(dialog->parentWidget(), &owner);
        QCOMPARE(dialog->windowTitle(), title);
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        QVERIFY(dialog->testOption(QFileDialog::ShowDirsOnly));
        QCOMPARE(dialog->directory().absolutePath(), QDir(folder.path()).absolutePath());
    }
};

QTEST_MAIN(tst_browseforfolder)
#include "tst_browseforfolder.moc"
