#include "ui/main/EntryStatus.h"

#include "ui/PathText.h"
#include "ui/main/EntryListBox.h"

#include <QLabel>
#include <QLocale>

#include <algorithm>
#include <filesystem>

namespace {

// "1 entry", "2 entries"; "1 byte", "1,024 bytes" (grouped as the locale groups digits).
QString Count(std::uint64_t n, const char* one, const char* many) {
    return QLocale().toString(qulonglong(n)) + QLatin1Char(' ') +
           QLatin1String(n == 1 ? one : many);
}

// What the entries at these positions hold, as recorded; a negative size counts as none.
std::uint64_t Bytes(const archive::EntryList& records, const std::vector<int>& positions) {
    std::uint64_t bytes = 0;
    for (const int k : positions)
        bytes += std::uint64_t(std::max(records[std::size_t(k)].Size, 0));
    return bytes;
}

} // namespace

EntryStatus::EntryStatus(EntryListBox* list, QLabel* label, int most)
    : QObject(label), list_(list), most_(most), label_(label) {
    connect(list, &EntryListBox::ListingChanged, this, &EntryStatus::Listed);
    connect(list, &EntryListBox::SelectionChanged, this, [this] {
        note_.clear();
        Update();
    });
    Listed();
}

void EntryStatus::Note(const QString& note) {
    note_ = note;
    Update();
}

void EntryStatus::Listed() {
    note_.clear();
    bytes_ = 0;
    for (const archive::ArchiveEntry entry : list_->Listing())
        bytes_ += std::uint64_t(std::max(entry.Size, 0));
    // Compact writes a record per entry, the end record and the data back to back. A listing
    // cut at the window's cap does not know every entry, so it claims nothing.
    reclaim_ = 0;
    std::error_code ec;
    const std::uint64_t size = std::filesystem::file_size(list_->ListedArchive(), ec);
    const std::uint64_t compact = 20 * (std::uint64_t(list_->EntryCount()) + 1) + bytes_;
    if (!ec && size > compact && list_->EntryCount() < most_)
        reclaim_ = size - compact;
    Update();
}

void EntryStatus::Update() {
    if (list_->ListedArchive().empty()) {
        label_->setText(QStringLiteral("No archive is listed"));
        return;
    }
    QString text = note_.isEmpty() ? pathtext::ShownPath(list_->ListedArchive().filename()) +
                                         QStringLiteral(": ")
                                   : note_ + QStringLiteral("; ");
    text += Count(std::uint64_t(list_->EntryCount()), "entry", "entries") + QStringLiteral(", ") +
            Count(bytes_, "byte", "bytes");
    if (reclaim_ > 0)
        text += QStringLiteral("; Compact would reclaim ") + Count(reclaim_, "byte", "bytes");
    if (list_->HasSelection()) {
        const std::vector<int> selected = list_->SelectedPositions();
        text += QStringLiteral("; ") + QLocale().toString(qulonglong(selected.size())) +
                QStringLiteral(" selected, ") +
                Count(Bytes(list_->Listing(), selected), "byte", "bytes");
    }
    label_->setText(text);
}
