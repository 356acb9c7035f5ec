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

// The file's text: UTF-8 when every byte sequence is valid UTF-8, otherwise one character per
// byte, so that every byte comes back unchanged when the text is encoded the same way.
QString Decode(QByteArrayView bytes, bool& latin1) {
    // A byte-order mark other than the file's first is a character of its line.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    latin1 = utf8.hasError();
    return latin1 ? QString::fromLatin1(bytes) : text;
}

QByteArray Encode(const QString& text, bool latin1) {
    // Text that one byte per character cannot hold (a value set since the file was read) makes
    // the file UTF-8, which keeps every character.
    const bool fits =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 256; });
    return latin1 && fits ? text.toLatin1() : text.toUtf8();
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
    QString text;
    for (qsizetype s = 0; s < Sections.size(); ++s) {
        const INISection& section = Sections[s];
        text += u'[' + section.Name + QStringLiteral("]\r\n");
        for (const INIKey& key : section.Keys) {
            text += NameOf(key);
            text += u'=';
            text += ValueOf(key);
            text += QStringLiteral("\r\n");
        }
        if (s < Sections.size() - 1)
            text += QStringLiteral("\r\n");
    }
    return Encode(text, latin1_);
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
    QChar* const text = textStore_.data();
    const qsizetype size = textStore_.size();
    qint32 current = -1; // no section before the first header
    modKeyOrder::EndCheck inArrivalOrder;
    const auto endSection = [&] {
        if (current >= 0 && !inArrivalOrder.Holds())
            PlaceKeys(current);
    };
    for (qsizetype start = 0; start < size;) {
        qsizetype end = start;
        while (end < size && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QStringView line(text + start, end - start);
        const qsizetype lineStart = start;
        start = end + (end + 1 < size && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);
        if (end < size)
            text[end] = u'\n'; // a value ends at the first line feed
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
            current = AddSection(line.sliced(1, line.size() - 1 - last).toString());
            inArrivalOrder = {};
        } else if (line.front() != u';') {
            const qsizetype equals = line.indexOf(u'=');
            if (equals < 0 || current < 0)
                continue;
            Sections[current].Keys.append(INIKey{lineStart, lineStart + equals + 1});
            inArrivalOrder.Add(line.first(equals));
        }
    }
    endSection();
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
    const qsizetype end = textStore_.indexOf(u'\n', key.Value);
    return QStringView(textStore_)
        .sliced(key.Value, (end < 0 ? textStore_.size() : end) - key.Value);
}

clsINI::INIKey clsINI::Store(QStringView name, QStringView value) {
    // A file's last line may have no line end; its value must not run into the text added.
    if (!textStore_.isEmpty() && !textStore_.endsWith(u'\n'))
        textStore_.append(u'\n');
    const INIKey key{textStore_.size(), textStore_.size() + name.size() + 1};
    textStore_.append(name);
    textStore_.append(u'=');
    textStore_.append(value);
    textStore_.append(u'\n');
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
        if (k != -1)
            Sections[s].Keys[k] = Store(KeyName, Value);
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
        if (NameOf(keys[k]) == KeyName)
            return static_cast<qint32>(k);
    }
    return -1;
}

qint32 clsINI::AddSection(const QString& SectionName) {
    Sections.append(INISection{SectionName, {}});
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
