#include "settings/clsINI.h"

#include "settings/modKeyOrder.h"
#include "settings/modNumberParser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace {

const QString SaveTitle = QStringLiteral("Could not save INI file.");

clsINI::FailureHandler& Handler() {
    static clsINI::FailureHandler handler;
    return handler;
}

bool HoldsLineBreak(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n');
}

QStringDecoder Utf8Decoder() {
    // A byte-order mark other than the file's first is a character of its line.
    return QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                      QStringConverter::Flag::ConvertInitialBom);
}

bool IsUtf8(QByteArrayView bytes) {
    QStringDecoder utf8 = Utf8Decoder();
    const QString text = utf8(bytes); // decodes when made a QString
    return !utf8.hasError();
}

// The file's text, each line read as UTF-8 when it is valid UTF-8 and otherwise one character per
// byte, and ended by a line feed or a carriage return respectively (so that it is written back
// the same way and every byte comes back unchanged). latin1 tells whether any line is read one
// character per byte.
QString Decode(QByteArrayView bytes, bool& latin1) {
    QStringDecoder utf8 = Utf8Decoder();
    QString text(utf8.requiredSpace(bytes.size()) + 1, Qt::Uninitialized);
    QChar* const begin = text.data();
    QChar* end = utf8.appendToBuffer(begin, bytes);
    latin1 = utf8.hasError();
    if (!latin1) {
        std::replace(begin, end, QChar(u'\r'), QChar(u'\n'));
        if (end != begin && end[-1] != u'\n')
            *end++ = u'\n';
    } else {
        // Line by line; a line end (CR or LF) is never part of a UTF-8 sequence.
        end = begin;
        for (qsizetype start = 0; start < bytes.size();) {
            qsizetype stop = start;
            while (stop < bytes.size() && bytes[stop] != '\r' && bytes[stop] != '\n')
                ++stop;
            const QByteArrayView line = bytes.sliced(start, stop - start);
            utf8.resetState();
            QChar* const decoded = utf8.appendToBuffer(end, line);
            const bool oneByte = utf8.hasError();
            if (oneByte) {
                for (const char c : line)
                    *end++ = QChar(static_cast<uchar>(c));
            } else {
                end = decoded;
            }
            *end++ = oneByte ? u'\r' : u'\n';
            start = stop + 1;
        }
    }
    text.resize(end - begin);
    return text;
}

void AppendLine(QByteArray& bytes, QStringView line, bool latin1) {
    bytes += latin1 ? line.toLatin1() : line.toUtf8();
    bytes += "\r\n";
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

// Replaces the file's bytes; the reason when that fails, "" otherwise. The file is replaced only
// once every byte has been written, so a failure leaves the old file whole. Only where no file can
// be made beside it (a read-only folder) is it written in place. commit() alone does not notice a
// write that was cut short (a full disk), so write() and flush() are checked and the writing
// cancelled before commit() on any failure.
QString WriteFile(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    QString failure;
    if (!file.open(QIODevice::WriteOnly)) {
        failure = file.errorString();
    } else if (!WriteAll(file, bytes) || file.error() != QFileDevice::NoError) {
        failure = file.errorString();
        file.cancelWriting(); // commit() would put the partial file in place
    } else if (file.commit()) {
        return QString();
    } else {
        failure = file.errorString();
    }
    return failure.isEmpty() ? QStringLiteral("Unknown error") : failure;
}

} // namespace

void clsINI::SetFailureHandler(FailureHandler handler) {
    Handler() = std::move(handler);
}

void clsINI::Fail(const QString& Prompt) const {
    if (const FailureHandler& handler = Handler())
        handler(Prompt, 16, SaveTitle);
    else
        qWarning("%s: %s", qPrintable(SaveTitle), qPrintable(Prompt));
}

bool clsINI::AllowSaveFile() const {
    return allowSaveFile_;
}

void clsINI::SetAllowSaveFile(bool NewAllowSaveFile) {
    allowSaveFile_ = NewAllowSaveFile;
}

bool clsINI::CreateFolder() const {
    return createFolder_;
}

void clsINI::SetCreateFolder(bool NewCreateFolder) {
    createFolder_ = NewCreateFolder;
}

QByteArray clsINI::Serialize() const {
    QByteArray bytes;
    AppendKept(bytes, 0, preambleEnd_);
    for (qsizetype s = 0; s < Sections.size(); ++s) {
        const INISection& section = Sections[s];
        AppendComments(bytes, section.Header);
        // A header loses its last character when read, so even a header loaded one byte per
        // character is written so only when its bytes do not read back as UTF-8.
        const QString header = u'[' + section.Name + u']';
        AppendLine(bytes, header,
                   (section.Header < 0 || IsLatin1(section.Header)) && WritesLatin1(header));
        for (const INIKey& key : section.Keys) {
            AppendComments(bytes, key.Name);
            AppendLine(bytes,
                       QStringView(textStore_).sliced(key.Name, LineEnd(key.Value) - key.Name),
                       IsLatin1(key.Value));
        }
        if (s < Sections.size() - 1)
            bytes += "\r\n";
    }
    AppendKept(bytes, tailStart_, tailEnd_);
    // A byte-order mark at the file's start is no text when read: text that starts so (a key
    // before the first section) is kept behind one more.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

// Appends the comment and key lines in [from, to) of the text (keys lie there only before the
// first section).
void clsINI::AppendKept(QByteArray& bytes, qsizetype from, qsizetype to) const {
    while (from < to) {
        const qsizetype end = LineEnd(from);
        const QStringView line = QStringView(textStore_).sliced(from, end - from);
        if (line.startsWith(u';') || line.contains(u'='))
            AppendLine(bytes, line, IsLatin1(from));
        from = end + 1;
    }
}

void clsINI::AppendComments(QByteArray& bytes, qsizetype at) const {
    if (const Comments* found = CommentsOf(at))
        AppendKept(bytes, found->From, found->To);
}

const clsINI::Comments* clsINI::CommentsOf(qsizetype at) const {
    const auto found = std::lower_bound(comments_.begin(), comments_.end(), at,
                                        [](const Comments& c, qsizetype at) { return c.At < at; });
    return found != comments_.end() && found->At == at ? &*found : nullptr;
}

qsizetype clsINI::LineEnd(qsizetype from) const {
    const QChar* const text = textStore_.constData();
    while (text[from] != u'\n' && text[from] != u'\r') // every line has its end
        ++from;
    return from;
}

bool clsINI::IsLatin1(qsizetype at) const {
    return textStore_[LineEnd(at)] == u'\r';
}

// A line made since loading is written one byte per character in a file that has such lines,
// when every character fits in a byte and the bytes do not read back as UTF-8 of another text.
bool clsINI::WritesLatin1(QStringView line) const {
    return latin1_ &&
           std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() < 256; }) &&
           !IsUtf8(line.toLatin1());
}

void clsINI::SaveFile() {
    if (!allowSaveFile_)
        return;
    if (unreadable_) {
        Fail(QStringLiteral("clsINI.SaveFile: the file could not be read when it was loaded, so "
                            "it was left unchanged"));
        return;
    }
    const QByteArray bytes = Serialize();
    if (createFolder_ && !IniFileName.isEmpty()) {
        // QDir::mkpath would not say why it failed.
        const QFileInfo file(IniFileName);
        std::error_code error;
        std::filesystem::create_directories(file.filesystemAbsolutePath(), error);
        if (error) {
            Fail(QStringLiteral("clsINI.SaveFile: cannot make the folder %1: %2")
                     .arg(QDir::toNativeSeparators(file.absolutePath()),
                          QString::fromStdString(error.message())));
            return;
        }
    }
    const QString failure = WriteFile(IniFileName, bytes);
    if (!failure.isEmpty())
        Fail(QStringLiteral("clsINI.SaveFile: ") + failure);
}

void clsINI::LoadINI(const QString& FileName) {
    Sections.clear();
    IniFileName = FileName;
    textStore_.clear();
    comments_.clear();
    preambleEnd_ = tailStart_ = tailEnd_ = 0;
    latin1_ = false;
    unreadable_ = false;
    if (FileName.isEmpty())
        return;
    const QFileInfo info(FileName);
    if (!info.isFile() || info.isHidden())
        return;

    QFile file(FileName);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        unreadable_ = true; // an empty document, and the file is not written over
        return;
    }
    file.close();

    QByteArrayView rest = bytes;
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3); // a UTF-8 byte-order mark
    textStore_ = Decode(rest, latin1_);
    bytes.clear();

    // Each section's keys are appended in arrival order and placed once the section ends;
    // while every key would go to the end, arrival order is their order and nothing moves.
    // Comment lines go with the key or header after them; those before the first section, and
    // keys there, stay at the start, and those after the last key at the end.
    const qsizetype size = textStore_.size();
    preambleEnd_ = size;
    qint32 current = -1;    // no section before the first header
    qsizetype block = 0;    // the start of the lines since the last key or header
    bool commented = false; // a comment line among them
    modKeyOrder::EndCheck inArrivalOrder;
    const auto endSection = [&] {
        if (current >= 0 && !inArrivalOrder.Holds())
            PlaceKeys(current);
    };
    const auto element = [&](qsizetype at, qsizetype next) {
        if (commented)
            comments_.append(Comments{at, block, at});
        block = next;
        commented = false;
    };
    for (qsizetype start = 0; start < size;) {
        const qsizetype lineStart = start;
        const qsizetype end = LineEnd(start);
        const QStringView line = QStringView(textStore_).sliced(start, end - start);
        start = end + 1;
        if (line.isEmpty())
            continue;
        if (line.front() == u'[') {
            if (line.size() < 2)
                continue; // "[" alone
            // The last character is dropped whatever it is; a surrogate pair is one character.
            qsizetype last = 1;
            if (line.size() >= 3 && line.back().isLowSurrogate() &&
                line[line.size() - 2].isHighSurrogate())
                last = 2;
            endSection();
            if (current < 0) {
                preambleEnd_ = lineStart;
                commented = false;
            }
            element(lineStart, start);
            current = AddSection(line.sliced(1, line.size() - 1 - last).toString(), lineStart);
            inArrivalOrder = {};
        } else if (line.front() == u';') {
            commented = true;
        } else {
            const qsizetype equals = line.indexOf(u'=');
            if (equals < 0 || current < 0)
                continue;
            element(lineStart, start);
            Sections[current].Keys.append(INIKey{lineStart, lineStart + equals + 1});
            inArrivalOrder.Add(line.first(equals));
        }
    }
    endSection();
    tailStart_ = current < 0 ? size : block;
    tailEnd_ = size;
}

// Puts the section's keys, appended in arrival order, in the order that adding them one by one
// gives.
void clsINI::PlaceKeys(qint32 SectionIndex) {
    QList<INIKey>& keys = Sections[SectionIndex].Keys;
    std::vector<QStringView> names;
    names.reserve(static_cast<std::size_t>(keys.size()));
    for (const INIKey& key : keys)
        names.push_back(NameOf(key));
    const std::vector<qint32> order = modKeyOrder::Order(names);
    names = {};
    QList<INIKey> placed;
    placed.reserve(keys.size());
    for (const qint32 k : order)
        placed.append(keys[k]);
    keys = std::move(placed);
}

QStringView clsINI::NameOf(const INIKey& key) const {
    return QStringView(textStore_).sliced(key.Name, key.Value - 1 - key.Name);
}

QStringView clsINI::ValueOf(const INIKey& key) const {
    return QStringView(textStore_).sliced(key.Value, LineEnd(key.Value) - key.Value);
}

clsINI::INIKey clsINI::Store(QStringView name, QStringView value) {
    const qsizetype start = textStore_.size();
    const INIKey key{start, start + name.size() + 1};
    textStore_.append(name);
    textStore_.append(u'=');
    textStore_.append(value);
    textStore_.append(WritesLatin1(QStringView(textStore_).sliced(start)) ? u'\r' : u'\n');
    return key;
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
    return ValueOf(Sections[s].Keys[k]).toString();
}

qint32 clsINI::ReadLong(const QString& SectionName, const QString& KeyName,
                        const QVariant& DefaultValue) const {
    const qint32 fallback = modNumberParser::ToLong(DefaultValue);
    return modNumberParser::ReadNumber(ReadString(SectionName, KeyName, fallback));
}

void clsINI::WriteValue(const QString& SectionName, const QString& KeyName, const QString& Value) {
    if (HoldsLineBreak(SectionName) || HoldsLineBreak(KeyName) || HoldsLineBreak(Value)) {
        Fail(QStringLiteral("clsINI.WriteValue: the value holds a line break"));
        return;
    }
    qint32 s = FindSection(SectionName);
    if (s == -1) {
        s = AddSection(SectionName);
        AddKey(s, KeyName, Value);
    } else {
        const qint32 k = FindKey(s, KeyName);
        if (k != -1) {
            INIKey& key = Sections[s].Keys[k];
            const Comments* comments = CommentsOf(key.Name);
            key = Store(KeyName, Value);
            if (comments) // the new line keeps the comments of the line it replaces
                comments_.append(Comments{key.Name, comments->From, comments->To});
        } else {
            AddKey(s, KeyName, Value);
        }
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
        if (NameOf(keys[k]) == KeyName)
            return static_cast<qint32>(k);
    }
    return -1;
}

qint32 clsINI::AddSection(const QString& SectionName, qsizetype Header) {
    Sections.append(INISection{SectionName, {}, Header});
    return static_cast<qint32>(Sections.size() - 1);
}

// One key placed by a scan from the start (a load places its keys through modKeyOrder).
qint32 clsINI::AddKey(qint32 SectionIndex, const QString& KeyName, const QString& Value) {
    QList<INIKey>& keys = Sections[SectionIndex].Keys;
    const std::optional<qint32> number = modNumberParser::NumericName(KeyName);
    qsizetype p = 0;
    while (p < keys.size() &&
           !modKeyOrder::StopsAt(NameOf(keys[p]), modNumberParser::NumericName(NameOf(keys[p])),
                                 KeyName, number))
        ++p;
    keys.insert(p, Store(KeyName, Value));
    return static_cast<qint32>(p);
}
