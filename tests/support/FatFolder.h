#pragma once

// A folder that folds case, for tests: a small FAT image made with mkfs.fat and mounted
// through FUSE (fusefat), where each spelling of a name has an inode number of its own and
// times go in 2-second steps. Unmounted again when the object goes. On Windows an ordinary
// folder, removed again when the object goes.

#include <QString>

namespace testfiles {

class FatFolder {
public:
    // Makes the image and its mount point inside `parent`; both are removed again.
    explicit FatFolder(const QString& parent);
    FatFolder(const FatFolder&) = delete;
    FatFolder& operator=(const FatFolder&) = delete;
    ~FatFolder();

    // The mounted folder; empty when it could not be made, and then Unusable() says why.
    const QString& Path() const { return path_; }
    const QString& Unusable() const { return unusable_; }
    // False when FUSE works here but its tools are missing: build.sh installs them, so an
    // install step is missing, and the rows must fail rather than skip.
    bool MayBeSkipped() const { return !toolsMissing_; }

private:
    QString image_, mountPoint_, path_, unusable_, fusermount_;
    bool toolsMissing_ = false;
};

} // namespace testfiles

// In a test function: skips the row where the folder could not be made, and fails it where only
// the tools are missing (build.sh installs them).
#define QUILLMARROW_SKIP_UNLESS_USABLE(fat)                                                       \
    do {                                                                                          \
        if ((fat).Path().isEmpty()) {                                                             \
            QVERIFY2((fat).MayBeSkipped(), qPrintable((fat).Unusable()));                         \
            QSKIP(qPrintable((fat).Unusable()));                                                  \
        }                                                                                         \
    } while (false)
