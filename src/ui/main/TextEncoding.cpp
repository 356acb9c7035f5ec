#include "ui/main/TextEncoding.h"

#include <QStringDecoder>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

namespace textencoding {

namespace {

// Both code pages are ASCII below 0x80. Code page 437 from 0x80 on:
constexpr char16_t CodePage437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Windows-1252 from 0x80 to 0x9F (U+FFFD where it defines nothing); from 0xA0 on it is Latin-1.
constexpr char16_t Windows1252C1[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

char16_t Character(Encoding encoding, unsigned char byte) {
    if (byte < 0x80 || encoding == Encoding::Latin1)
        return byte;
    if (encoding == Encoding::CodePage437)
        return CodePage437High[byte - 0x80];
    return byte < 0xA0 ? Windows1252C1[byte - 0x80] : byte;
}

// The system's 8-bit code page as one of the encodings; none where the system's text is UTF-8.
std::optional<Encoding> SystemCodePage() {
#ifdef _WIN32
    switch (GetACP()) {
    case CP_UTF8:
        return std::nullopt;
    case 1252:
        return Encoding::Windows1252;
    case 28591:
        return Encoding::Latin1;
    default:
        return Encoding::System;
    }
#else
    return std::nullopt; // Qt takes the system's text to be UTF-8 here
#endif
}

bool DecodesAsUtf8(QByteArrayView bytes, bool cut) {
    // Bytes cut from longer text may end inside a character of up to 4 bytes.
    for (qsizetype drop = 0; drop <= (cut ? 3 : 0) && drop <= bytes.size(); ++drop) {
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString text = decoder(bytes.chopped(drop)); // decodes only when taken
        if (!decoder.hasError())
            return true;
    }
    return false;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Letters count for an encoding, symbols and undefined bytes against it, among the bytes
// above ASCII that stand beside an ASCII letter.
int LetterScore(Encoding encoding, QByteArrayView bytes) {
    int score = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80 ||
            !((i > 0 && IsAsciiLetter(bytes[i - 1])) ||
              (i + 1 < bytes.size() && IsAsciiLetter(bytes[i + 1]))))
            continue;
        const QChar c(Character(encoding, static_cast<unsigned char>(bytes[i])));
        const QChar::Category category = c.category();
        if (category == QChar::Letter_Uppercase || category == QChar::Letter_Lowercase)
            ++score;
        else if (c == QChar::ReplacementCharacter || category == QChar::Symbol_Other ||
                 category == QChar::Symbol_Math)
            --score;
    }
    return score;
}

} // namespace

QList<Encoding> Offered() {
    QList<Encoding> offered{Encoding::Utf8, Encoding::Windows1252, Encoding::CodePage437,
                            Encoding::Latin1};
    if (SystemCodePage() == Encoding::System)
        offered << Encoding::System;
    return offered;
}

QString Name(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Windows1252:
        return QStringLiteral("Windows-1252");
    case Encoding::CodePage437:
        return QStringLiteral("Code page 437");
    case Encoding::Latin1:
        return QStringLiteral("Latin-1");
    case Encoding::System:
        break;
    }
    return QStringLiteral("System code page");
}

QString Decode(Encoding encoding, QByteArrayView bytes) {
    if (encoding == Encoding::Utf8 || encoding == Encoding::System) {
        QStringDecoder decoder(encoding == Encoding::Utf8 ? QStringConverter::Utf8
                                                          : QStringConverter::System);
        return decoder(bytes);
    }
    QString text(bytes.size(), Qt::Uninitialized);
    std::transform(bytes.begin(), bytes.end(), text.begin(), [encoding](char byte) {
        return QChar(Character(encoding, static_cast<unsigned char>(byte)));
    });
    return text;
}

std::optional<Encoding> Guess(QByteArrayView bytes, bool cut) {
    if (bytes.contains('\0'))
        return std::nullopt;
    if (DecodesAsUtf8(bytes, cut))
        return Encoding::Utf8;
    const bool control = std::any_of(bytes.begin(), bytes.end(), [](char byte) {
        const auto b = static_cast<unsigned char>(byte);
        return (b < 0x20 || b == 0x7F) && b != '\t' && b != '\n' && b != '\f' && b != '\r' &&
               b != 0x1A && b != 0x1B;
    });
    if (control)
        return std::nullopt;
    if (const std::optional<Encoding> system = SystemCodePage())
        return system;
    if (LetterScore(Encoding::CodePage437, bytes) > LetterScore(Encoding::Windows1252, bytes))
        return Encoding::CodePage437;
    const bool c1 = std::any_of(bytes.begin(), bytes.end(), [](char byte) {
        return static_cast<unsigned char>(byte) >= 0x80 && static_cast<unsigned char>(byte) < 0xA0;
    });
    return c1 ? Encoding::Windows1252 : Encoding::Latin1;
}

} // namespace textencoding
