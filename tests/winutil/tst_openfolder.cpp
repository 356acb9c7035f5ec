#include "winutil/modOpenFolder.h"

#include <QDesktopServices>
#include <QDir>
#include <QTest>
#include <QUrl>

// Records what would have been opened.
class Opener : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class tst_openfolder : public QObject {
    Q_OBJECT

    Opener opener;

private slots:
    void initTestCase() {
        for (const char* scheme : {"https", "http", "mailto", "file"})
            QDesktopServices::setUrlHandler(scheme, &opener, "open");
    }
    void cleanupTestCase() {
        for (const char* scheme : {"https", "http", "mailto", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    void init() { opener.opened.clear(); }

    void targets_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("url"); // "" when nothing is opened
        QTest::newRow("web address") << "https://example.org/quillmarrow/"
                                     << "https://example.org/quillmarrow/";
        QTest::newRow("mailto address") << "mailto:someone@example.org"
                                        << "mailto:someone@example.org";
#ifdef _WIN32
        QTest::newRow("absolute folder") << "C:\\tmp\\some folder"
                                         << "file:///C:/tmp/some%20folder";
#else
        QTest::newRow("absolute folder") << "/tmp/some folder"
                                         << "file:///tmp/some%20folder";
#endif
        QTest::newRow("relative folder")
            << "games"
            << QUrl::fromLocalFile(QDir::current().filePath("games")).toString(QUrl::FullyEncoded);
        QTest::newRow("drive letter is no scheme")
            << "C:\\Games"
            << QUrl::fromLocalFile(QDir::current().filePath("C:\\Games"))
                   .toString(QUrl::FullyEncoded);
        QTest::newRow("empty target") << ""
                                      << "";
    }
    void targets() {
        QFETCH(QString, target);
        QFETCH(QString, url);
        modOpenFolder::OpenFolder(target);
        if (url.isEmpty()) {
            QVERIFY(opener.opened.isEmpty());
            return;
        }
        QCOMPARE(opener.opened.size(), 1);
        QCOMPARE(opener.opened.first().toString(QUrl::FullyEncoded), url);
    }
};

QTEST_MAIN(tst_openfolder)
#include "tst_openfolder.moc"
