#include "settings/modNumberParser.h"

#include "numeric/modRounding.h"

#include <limits>
#include <stdexcept>

namespace modNumberParser {

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

[[noreturn]] void ThrowOverflow() {
    throw std::overflow_error("Overflow");
}

qint32 DoubleToLong(double value) {
    const std::optional<qint32> rounded = modRounding::RoundToInt32(value);
    if (!rounded)
        ThrowOverflow(); // also infinities and NaN
    return *rounded;
}

} // namespace

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

qint32 ToLong(const QVariant& value) {
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
    case QMetaType::ULong:
        // Every 32-bit value is exact as a double, and nothing outside comes into range.
        return DoubleToLong(static_cast<double>(value.toULongLong()));
    default:
        break;
    }
    bool ok = false;
    const qlonglong n = value.toLongLong(&ok);
    if (ok)
        return DoubleToLong(static_cast<double>(n));
    const double d = value.toDouble(&ok);
    return ok ? DoubleToLong(d) : 0;
}

} // namespace modNumberParser
