#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The encodings the viewer reads text in: UTF-8 and the 8-bit code pages of older text.
namespace textencoding {

enum class Encoding {
    Utf8,
    Windows1252,
    CodePage437,
    Latin1,
    System, // the system's own 8-bit code page where it is none of the above (Windows)
};

// The encodings offered, in the order shown.
QList<Encoding> Offered();
// "UTF-8", "Windows-1252", "Code page 437", "Latin-1", "System code page".
QString Name(Encoding encoding);

// The text of the bytes. A byte that Windows-1252 leaves undefined shows as U+FFFD.
QString Decode(Encoding encoding, QByteArrayView bytes);

// The encoding that text starting with these bytes is most likely in (cut: the text goes on
// after them, so they may end inside a character); none when they are no text: a NUL byte, or
// bytes that are not UTF-8 with a control byte other than tab, line and page ends, ESC and the
// DOS end of file. UTF-8 comes first, then the system's 8-bit code page, then whichever of
// 437 and Windows-1252 reads more letters beside letters (Latin-1 when the two code pages
// agree on every byte there).
std::optional<Encoding> Guess(QByteArrayView bytes, bool cut);

} // namespace textencoding
