#pragma once

// A path between Qt's text and the system's own form. Header-only and Qt Core only, so that the
// windows and the tests convert alike without linking anything more. The archive core stays
// free of Qt and takes only std::filesystem paths.
//
// A path kept as text keeps its bytes: on POSIX a byte that is not part of valid UTF-8 (Qt's
// 8-bit encoding there) becomes the lone surrogate U+DC00 + byte, which no decoded text holds,
// and NativePath turns it back into that byte. ShownText makes such text fit to be shown.
// Shown paths use the platform's separator ("\" on Windows).

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringDecoder>

#include <filesystem>
#include <string>
#include <string_view>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace pathtext {

namespace detail {

// The length of the UTF-8 sequence a lead byte starts; 0 for a byte that starts none.
inline std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead < 0xC2)
        return 0;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return lead < 0xF5 ? 4 : 0;
}

// The lone surrogate that stands for a byte that is not UTF-8, or 0 for any other character.
inline char16_t EscapeAt(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    const bool alone = i == 0 || !text[i - 1].isHighSurrogate();
    return c >= 0xDC80 && c <= 0xDCFF && alone ? c : 0;
}

} // namespace detail

#ifndef _WIN32
// Path bytes as text that gives the same bytes back.
inline QString TextFromBytes(std::string_view bytes) {
    using Flag = QStringConverter::Flag;
    QStringDecoder whole(QStringConverter::Utf8, Flag::Stateless);
    QString text = whole(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!whole.hasError())
        return text;
    // Sequence by sequence: each one the lead byte announces is decoded when it is valid.
    text.clear();
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = detail::SequenceLength(lead);
        if (length > 0 && i + length <= bytes.size()) {
            QStringDecoder one(QStringConverter::Utf8, Flag::Stateless);
            const QString decoded = one(QByteArrayView(bytes.data() + i, qsizetype(length)));
            if (!one.hasError()) {
                text += decoded;
                i += length;
                continue;
            }
        }
        text += QChar(char16_t(0xDC00 + lead));
        ++i;
    }
    return text;
}

// Text to path bytes: UTF-8, the stand-ins for bytes turned back into those bytes.
inline std::string BytesFromText(QStringView text) {
    QByteArray bytes;
    qsizetype done = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (const char16_t escape = detail::EscapeAt(text, i)) {
            bytes += text.sliced(done, i - done).toUtf8();
            bytes += char(escape - 0xDC00);
            done = i + 1;
        }
    bytes += text.sliced(done).toUtf8();
    return bytes.toStdString();
}
#endif

// Qt's text to the system's form: UTF-16 (lossless) on Windows, the bytes elsewhere.
inline std::filesystem::path NativePath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(BytesFromText(path));
#endif
}

// The system's form to text that NativePath turns back into the same path.
inline QString PathText(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return TextFromBytes(path.native());
#endif
}

// A path as it is shown: bytes not valid in the locale's encoding become replacement
// characters.
inline QString ShownPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return QDir::toNativeSeparators(QString::fromStdWString(path.native()));
#else
    return QString::fromLocal8Bit(path.native());
#endif
}

// Text from PathText as it is shown: each byte that is not UTF-8 a replacement character.
inline QString ShownText(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i)
        if (detail::EscapeAt(text, i))
            text[i] = QChar::ReplacementCharacter;
    return QDir::toNativeSeparators(text);
}

// Whether the text names a folder (following links), asked without making a
// std::filesystem::path, which splits a path into all its parts when it is made.
inline bool IsFolder(const QString& path) {
#ifdef _WIN32
    return QFileInfo(path).isDir();
#else
    struct stat st;
    return ::stat(BytesFromText(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

} // namespace pathtext
