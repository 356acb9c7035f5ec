#include "FatFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace testfiles {

namespace {

#ifndef Q_OS_WIN
// Runs a program to its end with its output dropped; true when it succeeded.
bool RunQuietly(const QString& program, const QStringList& args) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString Program(const QString& name) {
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin"}) : onPath;
}
#endif

} // namespace

FatFolder::FatFolder(const QString& parent) {
#ifdef Q_OS_WIN
    // Windows' own file systems fold case: an ordinary folder will do.
    if (QDir().mkpath(parent + "/folded"))
        path_ = parent + "/folded";
    else
        unusable_ = "cannot make a folder";
#else
    const QString mkfs = Program("mkfs.fat"), fusefat = Program("fusefat");
    fusermount_ = Program("fusermount3");
    if (fusermount_.isEmpty())
        fusermount_ = Program("fusermount");
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        unusable_ = "/dev/fuse cannot be used here";
        return;
    }
    if (mkfs.isEmpty() || fusefat.isEmpty() || fusermount_.isEmpty()) {
        unusable_ = "needs mkfs.fat, fusefat and fusermount";
        toolsMissing_ = true;
        return;
    }
    image_ = parent + "/fat.img";
    mountPoint_ = parent + "/fat";
    QFile file(image_);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(4 << 20) || !RunQuietly(mkfs, {image_}) ||
        !QDir().mkpath(mountPoint_)) {
        unusable_ = "cannot make a FAT image";
        return;
    }
    file.close();
    struct stat outside = {}, inside = {};
    if (!RunQuietly(fusefat, {"-o", "rw+", image_, mountPoint_}) ||
        ::stat(QFile::encodeName(parent), &outside) != 0 ||
        ::stat(QFile::encodeName(mountPoint_), &inside) != 0 || inside.st_dev == outside.st_dev) {
        unusable_ = "fusefat cannot mount a FAT image here";
        return;
    }
    path_ = mountPoint_;
#endif
}

FatFolder::~FatFolder() {
#ifdef Q_OS_WIN
    if (!path_.isEmpty())
        QDir(path_).removeRecursively();
#else
    if (!path_.isEmpty() && !RunQuietly(fusermount_, {"-u", path_}))
        RunQuietly(fusermount_, {"-u", "-z", path_}); // still busy: detach it now, gone later
    if (!image_.isEmpty()) {
        QDir().rmdir(mountPoint_);
        QFile::remove(image_);
    }
#endif
}

} // namespace testfiles
