#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

class QLabel;
class EntryListBox;

// The window's status line, one label kept up to date with the entry list: the listed
// archive's name, its entry count and data size, and the selection's count and size
// ("GAME.DAT: 6 entries, 275,200 bytes; 2 selected, 1,024 bytes"), and what Compact would
// reclaim where edits left gaps. A note (what was written)
// takes the name's place until the selection changes or another archive is listed. The label's
// text is its accessible name, so screen readers read and follow it.
class EntryStatus : public QObject {
    Q_OBJECT

public:
    // `most`: the entries a listing can hold; one that full may have left some out.
    EntryStatus(EntryListBox* list, QLabel* label, int most);

    // Shows the note before the listing's figures ("Replaced README.TXT in W.dat; 6 entries,
    // 275,200 bytes").
    void Note(const QString& note);

private:
    void Listed();
    void Update();

    EntryListBox* list_;
    int most_;
    QLabel* label_;
    QString note_;
    std::uint64_t bytes_ = 0;   // of the listing's entries
    std::uint64_t reclaim_ = 0; // what Compact would take off the archive's size
};
