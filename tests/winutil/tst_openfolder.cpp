#include "winutil/modOpenFolder.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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

    // Where the desktop opens links through a program of its own, that program gets the URL,
    // and its failure (an exit status other than 0, or no such program) is told when it ends.
    void openerProgram_data() {
        QTest::addColumn<QString>("script"); // "": no such program
        QTest::addColumn<bool>("failed");
        QTest::newRow("opened") << "exit 0" << false;
        QTest::newRow("no program for it") << "exit 3" << true;
        QTest::newRow("no opener") << "" << true;
    }
    void openerProgram() {
#ifndef Q_OS_UNIX
        QSKIP("the opener is a shell script here");
#endif
        QFETCH(QString, script);
        QFETCH(bool, failed);
        QTemporaryDir dir;
        const QString program = dir.filePath("opener"), argument = dir.filePath("argument");
        if (!script.isEmpty()) {
            QFile file(program);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                QString("#!/bin/sh\nprintf %s \"$1\" > '%1'\n%2\n").arg(argument, script).toUtf8());
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        }
        modOpenFolder::SetOpener(program);
        QObject context;
        bool told = false;
        QVERIFY(modOpenFolder::OpenFolder("mailto:someone@example.org", &context,
                                          [&] { told = true; }));
        if (failed)
            QTRY_VERIFY(told);
        else
            QTRY_VERIFY(QFile::exists(argument));
        QTest::qWait(100); // a failure would be told by now
        modOpenFolder::SetOpener({});
        QCOMPARE(told, failed);
        if (!script.isEmpty()) {
            QFile file(argument);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("mailto:someone@example.org"));
        }
        QVERIFY(opener.opened.isEmpty());
    }
};

QTEST_MAIN(tst_openfolder)
#include "tst_openfolder.moc"
