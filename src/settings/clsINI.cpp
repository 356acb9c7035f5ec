#include "settings/clsINI.h"

#include "winutil/modMsgBox.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

namespace {

// A decimal number as written: sign, its significant digits and where the decimal point falls,
// kept exact so that rounding to an integer never suffers from binary floating point.
struct Decimal {
    bool Negative = false;
    QString Digits;      // every mantissa digit, the point removed
    qint64 PointPos = 0; // the value is 0.Digits times 10 to the power PointPos
};

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Reads the longest number at the start of s: an optional sign, decimal digits with at most one
// ".", and an optional exponent ("e" or "E", an optional sign, digits). Returns the number of
// characters it takes, 0 when s does not start with a number.
qsizetype ScanNumber(QStringView s, Decimal& number) {
    number = Decimal();
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        number.Negative = s[i] == u'-';
        ++i;
    }
    qint64 intDigits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (IsDigit(s[i])) {
            number.Digits += s[i];
            if (!point)
                ++intDigits;
        } else if (s[i] == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (number.Digits.isEmpty())
        return 0;
    qint64 exponent = 0;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        bool negative = false;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) {
            negative = s[j] == u'-';
            ++j;
        }
        if (j < s.size() && IsDigit(s[j])) {
            constexpr qint64 Cap = qint64(1) << 40; // far beyond any string's length
            for (; j < s.size() && IsDigit(s[j]); ++j)
                exponent = std::min(Cap, exponent * 10 + (s[j].unicode() - u'0'));
            if (negative)
                exponent = -exponent;
            i = j;
        }
    }
    number.PointPos = intDigits + exponent;
    return i;
}

// The number rounded to the nearest integer, halves to the even one; nothing when that lies
// outside the 32-bit signed range.
std::optional<qint32> RoundToInt32(const Decimal& number) {
    QStringView digits = number.Digits;
    qint64 pointPos = number.PointPos;
    while (!digits.isEmpty() && digits.front() == u'0') {
        digits = digits.sliced(1);
        --pointPos;
    }
    if (digits.isEmpty())
        return 0;
    if (pointPos > 10)
        return std::nullopt; // at least 10^10
    qint64 magnitude = 0;
    for (qint64 k = 0; k < pointPos; ++k)
        magnitude = magnitude * 10 + (k < digits.size() ? digits[k].unicode() - u'0' : 0);
    bool up = false;
    if (pointPos >= 0 && pointPos < digits.size()) {
        const QChar first = digits[pointPos];
        if (first > u'5') {
            up = true;
        } else if (first == u'5') {
            bool moreThanHalf = false;
            for (qint64 k = pointPos + 1; k < digits.size() && !moreThanHalf; ++k)
                moreThanHalf = digits[k] != u'0';
            up = moreThanHalf || magnitude % 2 != 0;
        }
    }
    if (up)
        ++magnitude;
    const qint64 value = number.Negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(value);
}

// The numeric value of a key name for the ordering of AddKey: the whole text must be a number
// (blanks around it allowed); nothing when it is not, or when its value lies outside 32 bits.
std::optional<qint32> NumericName(QStringView name) {
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && name[begin] == u' ')
        ++begin;
    while (end > begin && name[end - 1] == u' ')
        --end;
    Decimal number;
    const QStringView text = name.sliced(begin, end - begin);
    if (text.isEmpty() || ScanNumber(text, number) != text.size())
        return std::nullopt;
    return RoundToInt32(number);
}

[[noreturn]] void ThrowOverflow() {
    throw std::overflow_error("Overflow");
}

// The number reader of ReadLong: blanks, tabs and line feeds are skipped anywhere, the longest
// leading number is read (0 when there is none) and rounded, halves to even.
qint32 ReadNumber(const QString& text) {
    QString packed;
    packed.reserve(text.size());
    for (const QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            packed += c;
    }
    Decimal number;
    if (ScanNumber(packed, number) == 0)
        return 0;
    const std::optional<qint32> value = RoundToInt32(number);
    if (!value)
        ThrowOverflow();
    return *value;
}

qint32 DoubleToLong(double value) {
    const double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    if (!(rounded >= std::numeric_limits<qint32>::min() &&
          rounded <= std::numeric_limits<qint32>::max()))
        ThrowOverflow(); // also infinities and NaN
    return static_cast<qint32>(rounded);
}

// ReadLong's DefaultValue as a 32-bit integer: not given is 0, text is read like a stored value,
// numbers are rounded (halves to even), anything that is no number is 0.
qint32 DefaultToLong(const QVariant& value) {
    if (!value.isValid())
        return 0;
    switch (value.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar:
        return ReadNumber(value.toString());
    case QMetaType::Double:
    case QMetaType::Float:
        return DoubleToLong(value.toDouble());
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        const qulonglong n = value.toULongLong();
        if (n > static_cast<qulonglong>(std::numeric_limits<qint32>::max()))
            ThrowOverflow();
        return static_cast<qint32>(n);
    }
    default:
        break;
    }
    bool ok = false;
    const qlonglong n = value.toLongLong(&ok);
    if (ok) {
        if (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
            ThrowOverflow();
        return static_cast<qint32>(n);
    }
    const double d = value.toDouble(&ok);
    return ok ? DoubleToLong(d) : 0;
}

// Ordinal comparison of UTF-16 code units, case-sensitive; a proper prefix comes first.
bool OrdinalGreater(QStringView a, QStringView b) {
    return std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                        [](QChar x, QChar y) { return x.unicode() < y.unicode(); });
}

// Splits the file's bytes into lines: CR LF, a lone LF and a lone CR each end a line.
QList<QByteArrayView> SplitLines(QByteArrayView bytes) {
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines.append(bytes.sliced(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.append(bytes.sliced(start));
    return lines;
}

// Writes and flushes every byte. A write or flush that stops short leaves the reason untold, so
// the rest is tried once more: the file layer then reports why (a full disk, a size limit).
bool WriteAll(QFileDevice& file, const QByteArray& bytes) {
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    if (file.flush())
        return true;
    file.flush();
    return false;
}

} // namespace

bool clsINI::AllowSaveFile() const {
    return AllowSaveFileFlag;
}

void clsINI::SetAllowSaveFile(bool NewAllowSaveFile) {
    AllowSaveFileFlag = NewAllowSaveFile;
}

void clsINI::SaveFile() {
    if (!AllowSaveFileFlag)
        return;

    QString text;
    for (qsizetype s = 0; s < Sections.size(); ++s) {
        const INISection& section = Sections[s];
        text += u'[' + section.Name + QStringLiteral("]\r\n");
        for (const INIKey& key : section.Keys)
            text += key.Name + u'=' + key.Value + QStringLiteral("\r\n");
        if (s < Sections.size() - 1)
            text += QStringLiteral("\r\n");
    }
    const QByteArray bytes = text.toLocal8Bit();

    // The file is replaced only once every byte has been written, so a failure leaves the old
    // file whole. commit() alone does not notice a write that was cut short (a full disk), so
    // write() and flush() are checked and the writing cancelled before commit() on any failure.
    QSaveFile file(IniFileName);
    QString failure;
    if (!file.open(QIODevice::WriteOnly)) {
        failure = file.errorString();
    } else if (!WriteAll(file, bytes) || file.error() != QFileDevice::NoError) {
        failure = file.errorString();
        file.cancelWriting(); // commit() would put the partial file in place
    } else if (file.commit()) {
        return;
    } else {
        failure = file.errorString();
    }
    if (failure.isEmpty())
        failure = QStringLiteral("Unknown error");
    modMsgBox::MsgBox(QStringLiteral("clsINI.SaveFile: ") + failure, 16,
                      QStringLiteral("Could not save INI file."));
}

void clsINI::LoadINI(const QString& FileName) {
    Sections.clear();
    IniFileName = FileName;
    if (FileName.isEmpty())
        return;
    const QFileInfo info(FileName);
    if (!info.isFile() || info.isHidden())
        return;

    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return; // a file that cannot be read loads as an empty document
    file.close();

    QByteArrayView rest = bytes;
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3); // a UTF-8 byte-order mark

    // Each line is decoded on its own, exactly as it stands: a byte-order mark at the start of
    // a line other than the file's first is a character of that line, not dropped as
    // fromLocal8Bit would, so that saving and loading again gives the same document.
    QStringDecoder decode(QStringConverter::System, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
    qint32 current = -1; // no section before the first header
    for (const QByteArrayView raw : SplitLines(rest)) {
        if (raw.isEmpty())
            continue;
        const QString line = decode(raw);
        if (line.startsWith(u'[')) {
            if (line.size() < 2)
                continue; // "[" alone
            // The last character is dropped whatever it is; a surrogate pair is one character.
            qsizetype last = 1;
            if (line.size() >= 3 && line[line.size() - 1].isLowSurrogate() &&
                line[line.size() - 2].isHighSurrogate())
                last = 2;
            current = AddSection(line.sliced(1, line.size() - 1 - last));
        } else if (line.startsWith(u';')) {
            continue;
        } else {
            const qsizetype equals = line.indexOf(u'=');
            if (equals < 0 || current < 0)
                continue;
            AddKey(current, line.first(equals), line.sliced(equals + 1));
        }
    }
}

void clsINI::DeleteSection(const QString& SectionName) {
    const qint32 s = FindSection(SectionName);
    if (s != -1)
        Sections.removeAt(s);
    SaveFile();
}

void clsINI::DeleteKey(const QString& SectionName, const QString& KeyName) {
    const qint32 s = FindSection(SectionName);
    if (s != -1) {
        const qint32 k = FindKey(s, KeyName);
        if (k != -1)
            Sections[s].Keys.removeAt(k);
    }
    SaveFile();
}

QString clsINI::ReadString(const QString& SectionName, const QString& KeyName,
                           const QVariant& DefaultValue) const {
    const qint32 s = FindSection(SectionName);
    if (s == -1)
        return DefaultValue.toString();
    const qint32 k = FindKey(s, KeyName);
    if (k == -1)
        return DefaultValue.toString();
    return Sections[s].Keys[k].Value;
}

qint32 clsINI::ReadLong(const QString& SectionName, const QString& KeyName,
                        const QVariant& DefaultValue) const {
    const qint32 fallback = DefaultToLong(DefaultValue);
    return ReadNumber(ReadString(SectionName, KeyName, fallback));
}

void clsINI::WriteValue(const QString& SectionName, const QString& KeyName, const QString& Value) {
    qint32 s = FindSection(SectionName);
    if (s == -1) {
        s = AddSection(SectionName);
        AddKey(s, KeyName, Value);
    } else {
        const qint32 k = FindKey(s, KeyName);
        if (k != -1)
            Sections[s].Keys[k].Value = Value;
        else
            AddKey(s, KeyName, Value);
    }
    SaveFile();
}

qint32 clsINI::FindSection(const QString& SectionName) const {
    for (qsizetype s = 0; s < Sections.size(); ++s) {
        if (Sections[s].Name == SectionName)
            return static_cast<qint32>(s);
    }
    return -1;
}

qint32 clsINI::FindKey(qint32 SectionIndex, const QString& KeyName) const {
    const QList<INIKey>& keys = Sections[SectionIndex].Keys;
    for (qsizetype k = 0; k < keys.size(); ++k) {
        if (keys[k].Name == KeyName)
            return static_cast<qint32>(k);
    }
    return -1;
}

qint32 clsINI::AddSection(const QString& SectionName) {
    Sections.append(INISection{SectionName, {}});
    return static_cast<qint32>(Sections.size() - 1);
}

qint32 clsINI::AddKey(qint32 SectionIndex, const QString& KeyName, const QString& Value) {
    QList<INIKey>& keys = Sections[SectionIndex].Keys;
    qsizetype p = 0;
    if (const std::optional<qint32> value = NumericName(KeyName)) {
        // Stops at the first key that is not numeric or whose value is greater.
        for (; p < keys.size(); ++p) {
            const std::optional<qint32> other = NumericName(keys[p].Name);
            if (!other || *other > *value)
                break;
        }
    } else {
        // Stops at the first key whose name is greater in ordinal comparison.
        for (; p < keys.size(); ++p) {
            if (OrdinalGreater(keys[p].Name, KeyName))
                break;
        }
    }
    keys.insert(p, INIKey{KeyName, Value});
    return static_cast<qint32>(p);
}
