// The main window on the offscreen platform, at 8191 and at 32767 entries: clicking an archive
// in the file list until its entries are listed, "Select All" until every line is selected,
// gathering the selection as Extract does, and a click on the Size header until the lines are
// sorted by size (the selection kept). Each must stay short at 32767 entries and grow no faster
// than the entries do.

#include "BenchSupport.h"

#include "ui/main/EntryListBox.h"
#include "ui/main/FileListBox.h"
#include "ui/main/frm.h"
#include "winutil/modBrowseForFolder.h"
#include "winutil/modMsgBox.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int Small = 8191;
constexpr int Large = frm::MaxListedEntries; // 4 times Small, give or take one
constexpr int GatherRepeats = 20;            // one gathering is too short to time alone

QString ArchiveName(int entries) {
    return QStringLiteral("e%1.dat").arg(entries);
}

void WriteEntries(const fs::path& path, int count) {
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    // Sizes in no order, so that a sort by size moves nearly every line.
    for (int k = 0; k < count; ++k)
        entries.emplace_back("F" + std::to_string(100000 + k).append(".TXT"),
                             std::uint64_t(k) * 7919 % 1000);
    bench::WriteArchive(path, entries);
}

// Lets the window lay out and paint what the last step changed.
void Settle() {
    QCoreApplication::processEvents();
}

// Presses and releases the left button at a point of a widget, as a user's click does.
void Click(QWidget* viewport, QPointF at) {
    const QPointF global = viewport->mapToGlobal(at);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, global, Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

void ClickFile(frm& window, const QString& name) {
    const auto items = window.File->findItems(name, Qt::MatchExactly);
    if (items.isEmpty())
        throw std::runtime_error("the file list lacks " + name.toStdString());
    window.File->scrollToItem(items.first());
    Click(window.File->viewport(), window.File->visualItemRect(items.first()).center());
}

// A click on the entry list's Size header: the lines sorted by size, one way or the other.
void ClickSizeHeader(frm& window) {
    QHeaderView* header = window.lstFiles->header();
    Click(header->viewport(), QPointF(header->sectionViewportPosition(1) + 5, header->height() / 2));
}

struct Figures {
    std::vector<double> Click, SelectAll, Gather, Sort;
};

// One run of the four steps on the archive of that many entries.
void MeasureOnce(frm& window, int entries, Figures& figures) {
    ClickFile(window, QStringLiteral("small.dat")); // a short list, so the click below refills
    Settle();
    figures.Click.push_back(bench::Time([&] {
        ClickFile(window, ArchiveName(entries));
        Settle();
    }));
    if (window.lstFiles->EntryCount() != entries)
        throw std::runtime_error("the click listed a wrong count");

    figures.SelectAll.push_back(bench::Time([&] {
        window.cmdSelectAll->click();
        Settle();
    }));
    if (window.lstFiles->selectionModel()->selectedRows().size() != entries)
        throw std::runtime_error("Select All left lines unselected");

    std::size_t gathered = 0;
    figures.Gather.push_back(bench::Time([&] {
                                 for (int i = 0; i < GatherRepeats; ++i)
                                     gathered += window.lstFiles->SelectedPositions().size();
                             }) /
                             GatherRepeats);
    if (gathered != std::size_t(entries) * GatherRepeats)
        throw std::runtime_error("the gathering missed selected lines");

    // Every line selected but one, so the selection is more than the one range Select All
    // makes.
    window.lstFiles->SetCurrentPosition(entries / 2);
    window.lstFiles->selectionModel()->select(window.lstFiles->currentIndex(),
                                              QItemSelectionModel::Toggle |
                                                  QItemSelectionModel::Rows);
    Settle();
    figures.Sort.push_back(bench::Time([&] {
        ClickSizeHeader(window);
        Settle();
    }));
    const std::vector<int> kept = window.lstFiles->SelectedPositions();
    if (window.lstFiles->InDirectoryOrder() || kept.size() != std::size_t(entries) - 1 ||
        std::binary_search(kept.begin(), kept.end(), entries / 2))
        throw std::runtime_error("the sort lost the selection");
    window.lstFiles->ShowDirectoryOrder();
    Settle();
}

// `growth`: how much the figure may grow for four times the entries.
void Report(const char* figure, const std::vector<double>& small,
            const std::vector<double>& large, double growth = 5) {
    const double s = bench::Median(small), l = bench::Median(large);
    bench::Row(figure, bench::Format(l * 1e3, "ms", 3),
               bench::Format(s * 1e3, "ms", 3) + " at " + std::to_string(Small),
               "x" + bench::Format(l / s, "") + " for x4 entries",
               "<= 100 ms, <= x" + bench::Format(growth, "", 0), l <= 0.100 && l / s <= growth);
}

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.warning=false"); // the platform's notes would fill the table
    QApplication app(argc, argv);
    try {
        const fs::path root = args.Work / "window";
        bench::FreshFolder(root / "app");
        bench::FreshFolder(root / "data");
        WriteEntries(root / "data" / "small.dat", 1);
        for (const int entries : {Small, Large})
            WriteEntries(root / "data" / ArchiveName(entries).toStdString(), entries);

        // No dialog shows: a message would mean the step went wrong; the folder picker answers
        // with the data folder. The settings file lives in a program folder of the bench's own.
        int messages = 0;
        modMsgBox::SetHandler([&](const QString&, int, const QString&) { return ++messages, 1; });
        const QString data = QString::fromStdString((root / "data").string());
        modBrowseForFolder::SetHandler(
            [&](const QString&, QWidget*, const QString&) { return data; });
        frm::SetAppPath(QString::fromStdString((root / "app").string()));

        frm window;
        window.show();
        window.cmdBrowse->click();
        Settle();

        Figures small, large;
        MeasureOnce(window, Large, large); // a first run of each, not counted, warms up
        MeasureOnce(window, Small, small);
        small = large = Figures();
        for (int run = 0; run < args.Runs; ++run) {
            MeasureOnce(window, Small, small);
            MeasureOnce(window, Large, large);
        }
        if (messages != 0)
            throw std::runtime_error("the window showed a message");
        window.close();
        fs::remove_all(root);

        Report("window: click a 32767-entry archive until listed", small.Click, large.Click);
        Report("window: Select All of 32767 lines", small.SelectAll, large.SelectAll);
        Report("window: gather 32767 selected lines for Extract", small.Gather, large.Gather);
        // A sort takes n log n: x4.6 for x4 entries, before the caches' share.
        Report("window: sort 32767 lines by size (all selected but one)", small.Sort, large.Sort,
               6);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_window: %s\n", e.what());
        return 1;
    }
    return 0;
}
