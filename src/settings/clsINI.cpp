#include "settings/clsINI.h"

#include "settings/modKeyOrder.h"
#include "settings/modNumberParser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <optional>
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
    return AllowSaveFileFlag;
}

void clsINI::SetAllowSaveFile(bool NewAllowSaveFile) {
    AllowSaveFileFlag = NewAllowSaveFile;
}

bool clsINI::CreateFolder() const {
    return CreateFolderFlag;
}

void clsINI::SetCreateFolder(bool NewCreateFolder) {
    CreateFolderFlag = NewCreateFolder;
}

void clsINI::SaveFile() {
    if (!AllowSaveFileFlag)
        return;
    if (Unreadable) {
        Fail(QStringLiteral("clsINI.SaveFile: the file could not be read when it was loaded, so "
                            "it was left unchanged"));
        return;
    }

    QString text;
    for (qsizetype s = 0; s < Sections.size(); ++s) {
        const INISection& section = Sections[s];
        text += u'[' + section.Name + QStringLiteral("]\r\n");
        for (const INIKey& key : section.Keys)
            text += key.Name + u'=' + key.Value + QStringLiteral("\r\n");
        if (s < Sections.size() - 1)
            text += QStringLiteral("\r\n");
    }
    const QByteArray bytes = Encode(text, Latin1);
    text.clear();

    if (CreateFolderFlag && !IniFileName.isEmpty())
        QDir().mkpath(QFileInfo(IniFileName).absolutePath());

    // The file is replaced only once every byte has been written, so a failure leaves the old
    // file whole. Only where no file can be made beside it (a read-only folder) is it written in
    // place. commit() alone does not notice a write that was cut short (a full disk), so write()
    // and flush() are checked and the writing cancelled before commit() on any failure.
    QSaveFile file(IniFileName);
    file.setDirectWriteFallback(true);
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
    Fail(QStringLiteral("clsINI.SaveFile: ") + failure);
}

void clsINI::LoadINI(const QString& FileName) {
    Sections.clear();
    IniFileName = FileName;
    Latin1 = false;
    Unreadable = false;
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
        Unreadable = true; // an empty document, and the file is not written over
        return;
    }
    file.close();

    QByteArrayView rest = bytes;
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3); // a UTF-8 byte-order mark
    const QString text = Decode(rest, Latin1);
    bytes.clear();

    // Each section's keys are gathered in arrival order and placed once the section ends.
    qint32 current = -1; // no section before the first header
    std::vector<INIKey> arrived;
    const auto endSection = [&] {
        if (current < 0 || arrived.empty())
            return;
        std::vector<QStringView> names;
        names.reserve(arrived.size());
        for (const INIKey& key : arrived)
            names.push_back(key.Name);
        QList<INIKey>& keys = Sections[current].Keys;
        keys.reserve(static_cast<qsizetype>(arrived.size()));
        for (const qint32 k : modKeyOrder::Order(names))
            keys.append(std::move(arrived[k]));
        arrived.clear();
    };

    const QStringView all = text;
    for (qsizetype start = 0; start < all.size();) {
        qsizetype end = start;
        while (end < all.size() && all[end] != u'\r' && all[end] != u'\n')
            ++end;
        const QStringView line = all.sliced(start, end - start);
        start = end + (end + 1 < all.size() && all[end] == u'\r' && all[end + 1] == u'\n' ? 2 : 1);
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
        } else if (line.front() != u';') {
            const qsizetype equals = line.indexOf(u'=');
            if (equals < 0 || current < 0)
                continue;
            arrived.push_back(
                INIKey{line.first(equals).toString(), line.sliced(equals + 1).toString()});
        }
    }
    endSection();
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

// One key placed by a scan from the start (a load places its keys through modKeyOrder).
qint32 clsINI::AddKey(qint32 SectionIndex, const QString& KeyName, const QString& Value) {
    QList<INIKey>& keys = Sections[SectionIndex].Keys;
    const std::optional<qint32> number = modNumberParser::NumericName(KeyName);
    qsizetype p = 0;
    while (p < keys.size() &&
           !modKeyOrder::StopsAt(keys[p].Name, modNumberParser::NumericName(keys[p].Name), KeyName,
                                 number))
        ++p;
    keys.insert(p, INIKey{KeyName, Value});
    return static_cast<qint32>(p);
}
