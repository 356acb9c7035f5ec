#include "winutil/modOpenFolder.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

namespace modOpenFolder {

namespace {

// A scheme of one letter would be a drive ("C:\Games"), so it takes two or more.
bool HasScheme(const QString& target) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

QString& OpenerOverride() {
    static QString program;
    return program;
}

QString Opener() {
    if (!OpenerOverride().isEmpty())
        return OpenerOverride();
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
    // Qt hands the URL to xdg-open too, but forgets it once started: its failure (no browser,
    // no mail program) would go unsaid.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
#endif
    return {};
}

} // namespace

void SetOpener(const QString& program) {
    OpenerOverride() = program;
}

bool OpenFolder(const QString& target, QObject* Context, std::function<void()> Failed) {
    if (target.isEmpty())
        return false;
    const QUrl url = HasScheme(target) ? QUrl(target)
                                       : QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    const QString opener = Opener();
    if (opener.isEmpty())
        return QDesktopServices::openUrl(url);
    // Not owned by the caller: the opener may run as long as the program it starts, and is
    // neither waited for nor killed when the caller goes.
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    const QPointer<QObject> context(Context);
    const bool bound = Context != nullptr;
    const auto ended = [process, context, bound, Failed = std::move(Failed)](bool failed) {
        process->deleteLater();
        if (failed && Failed && (context || !bound))
            Failed();
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [ended](auto error) {
        if (error == QProcess::FailedToStart)
            ended(true);
    });
    QObject::connect(process, &QProcess::finished, process,
                     [ended](int code, QProcess::ExitStatus status) {
                         ended(status != QProcess::NormalExit || code != 0);
                     });
    process->start(opener, {QString::fromUtf8(url.toEncoded())});
    return true;
}

} // namespace modOpenFolder
