#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

// An INI settings file kept in memory as an ordered document of sections and keys, loaded from
// one 8-bit text file and written back whole after every change. Each line is read as UTF-8 when
// it is valid UTF-8 and otherwise as one character per byte (Latin-1), and written back the same
// way, so that lines nobody changed keep their bytes. Comment lines are kept with the key or
// section header after them; comments and keys before the first section stay at the start.
class clsINI {
public:
    // Where failures are reported (the program shows a message box): the prompt, the
    // message-box style (16: critical) and the title. Without a handler they go to qWarning.
    using FailureHandler =
        std::function<void(const QString& Prompt, int Buttons, const QString& Title)>;
    static void SetFailureHandler(FailureHandler handler);

    // While false, SaveFile writes nothing; changes still reach the document.
    bool AllowSaveFile() const;
    void SetAllowSaveFile(bool NewAllowSaveFile);
    // Whether SaveFile first makes the file's folder when it is missing (false at first).
    bool CreateFolder() const;
    void SetCreateFolder(bool NewCreateFolder);
    // Writes the whole document to the file of the last LoadINI, replacing it atomically where
    // the folder allows and writing it in place otherwise. A file that could not be read when it
    // was loaded is never written. Failures are reported; SaveFile always returns normally.
    void SaveFile();
    // The bytes that SaveFile writes: the whole document in its written layout.
    QByteArray Serialize() const;
    // Discards the document, remembers FileName and loads the file if it is an ordinary file.
    void LoadINI(const QString& FileName);
    // Removes the first section of that name (if any), then saves.
    void DeleteSection(const QString& SectionName);
    // Removes the first key of that name in the first section of that name (if any), then saves.
    void DeleteKey(const QString& SectionName, const QString& KeyName);
    // The value of the first matching key, or DefaultValue as text when there is none.
    QString ReadString(const QString& SectionName, const QString& KeyName,
                       const QVariant& DefaultValue = QVariant()) const;
    // The value read as a number and rounded (halves to even); throws std::overflow_error
    // when it lies outside 32 bits.
    qint32 ReadLong(const QString& SectionName, const QString& KeyName,
                    const QVariant& DefaultValue = QVariant()) const; // throws std::overflow_error
    // Sets the value of the first matching key, creating the section and key when missing,
    // then saves. Names and values holding a line break would not read back: they are
    // refused and reported, and nothing is written.
    void WriteValue(const QString& SectionName, const QString& KeyName, const QString& Value);

private:
    // A key as positions in the document's text (textStore_): the name runs from Name up to the
    // "=" before Value, the value from Value up to the line's end. Positions instead of strings
    // of their own keep the document of a large file close to the file's own size.
    struct INIKey {
        qsizetype Name = 0;
        qsizetype Value = 0;
    };
    struct INISection {
        QString Name;
        QList<INIKey> Keys;
        qsizetype Header = -1; // the header line's position in the text; -1: added since loading
    };
    // The lines of the text in [From, To) hold comments written before the line at At.
    struct Comments {
        qsizetype At = 0;
        qsizetype From = 0;
        qsizetype To = 0;
    };

    QStringView NameOf(const INIKey& key) const;
    QStringView ValueOf(const INIKey& key) const;
    // Appends "name=value" and its line end to the text and returns the key that reads them.
    INIKey Store(QStringView name, QStringView value);
    void PlaceKeys(qint32 SectionIndex);

    // The end of the line holding position at: its line feed or carriage return.
    qsizetype LineEnd(qsizetype at) const;
    // Whether the line holding position at is written one byte per character (else UTF-8).
    bool IsLatin1(qsizetype at) const;
    bool WritesLatin1(QStringView line) const;
    const Comments* CommentsOf(qsizetype at) const;
    void AppendComments(QByteArray& bytes, qsizetype at) const;
    void AppendKept(QByteArray& bytes, qsizetype from, qsizetype to) const;

    qint32 FindSection(const QString& SectionName) const;
    qint32 FindKey(qint32 SectionIndex, const QString& KeyName) const;
    qint32 AddSection(const QString& SectionName, qsizetype Header = -1);
    qint32 AddKey(qint32 SectionIndex, const QString& KeyName, const QString& Value);

    void Fail(const QString& Prompt) const;

    QList<INISection> Sections;
    QString IniFileName;
    // The loaded file's text, then the lines of the keys set since; the keys point into it. Every
    // line ends with a line feed when it is written as UTF-8 and with a carriage return when it
    // is written one byte per character.
    QString textStore_;
    QList<Comments> comments_;  // ordered by At
    qsizetype preambleEnd_ = 0; // the text before the first section header
    qsizetype tailStart_ = 0;   // the text after the last key or header loaded,
    qsizetype tailEnd_ = 0;     // up to the end of the file's text
    bool allowSaveFile_ = true;
    bool createFolder_ = false;
    bool latin1_ = false;     // a line of the file was not valid UTF-8
    bool unreadable_ = false; // the file exists but could not be read
};
