#include "winutil/modBrowseForFolder.h"

#include <QTest>
#include <QWidget>

class tst_browseforfolder : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { modBrowseForFolder::SetHandler({}); }

    // Each call hands the dialog its owner, title and initial folder, returns what the dialog
    // gives and keeps the initial folder of the last call.
    void browse_data() {
        QTest::addColumn<QStringList>("initialFolders"); // one call each
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("answer"); // "" for cancel; "=" accepts the initial folder
        QTest::newRow("accept at once") << QStringList{"/data/games"} << "Select a folder"
                                        << "=";
        QTest::newRow("another folder chosen")
            << QStringList{"/data/games"} << "Select the output folder"
            << "/tmp/out";
        QTest::newRow("cancel") << QStringList{"/data/games"} << "Select a folder"
                                << "";
        QTest::newRow("empty title and folder") << QStringList{""} << ""
                                                << "/home";
        QTest::newRow("second call keeps B") << QStringList{"/a", "/b"} << "Select a folder"
                                             << "=";
    }
    void browse() {
        QFETCH(QStringList, initialFolders);
        QFETCH(QString, title);
        QFETCH(QString, answer);
        QWidget owner;
        int calls = 0;
        modBrowseForFolder::SetHandler(
            [&](const QString& initial, QWidget* dialogOwner, const QString& dialogTitle) {
                ++calls;
                if (dialogOwner != &owner || dialogTitle != title ||
                    initial != modBrowseForFolder::InitialFolder())
                    return QStringLiteral("wrong request");
                return answer == "=" ? initial : answer;
            });
        for (const QString& initial : initialFolders) {
            const QString result = modBrowseForFolder::BrowseForFolder(initial, &owner, title);
            QCOMPARE(result, answer == "=" ? initial : answer);
        }
        QCOMPARE(calls, initialFolders.size());
        QCOMPARE(modBrowseForFolder::InitialFolder(), initialFolders.last());
    }
};

QTEST_MAIN(tst_browseforfolder)
#include "tst_browseforfolder.moc"
