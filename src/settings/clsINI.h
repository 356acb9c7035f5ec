#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// An INI settings file kept in memory as an ordered document of sections and keys, loaded from
// one 8-bit text file and written back whole after every change.
class clsINI {
public:
    // While false, SaveFile writes nothing; changes still reach the document.
    bool AllowSaveFile() const;
    void SetAllowSaveFile(bool NewAllowSaveFile);
    // Writes the whole document to the file of the last LoadINI, replacing it atomically. A
    // failure is reported in a message box; SaveFile always returns normally.
    void SaveFile();
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
    // then saves.
    void WriteValue(const QString& SectionName, const QString& KeyName, const QString& Value);

private:
    struct INIKey {
        QString Name;
        QString Value;
    };
    struct INISection {
        QString Name;
        QList<INIKey> Keys;
    };

    qint32 FindSection(const QString& SectionName) const;
    qint32 FindKey(qint32 SectionIndex, const QString& KeyName) const;
    qint32 AddSection(const QString& SectionName);
    qint32 AddKey(qint32 SectionIndex, const QString& KeyName, const QString& Value);

    QList<INISection> Sections;
    QString IniFileName;
    bool AllowSaveFileFlag = true;
};
