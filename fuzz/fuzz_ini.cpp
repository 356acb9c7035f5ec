// clsINI on arbitrary bytes: load, save, load the saved file and save again. The document must
// survive the second round: the same sections, names in order, each with the same keys
// (name=value, as a multiset; the order of keys may change, as every key is placed again when
// it is loaded), the same comments with them and the same lines before the first section. The
// first load may lose what a document cannot hold (blank lines and lines that are neither a key,
// a header nor a comment, line endings, a byte-order mark), so both documents are compared
// through what SaveFile writes, which must have its layout exactly. Every save must succeed, and
// ReadString and ReadLong must agree with what was saved, each line read as UTF-8 when it is valid
// UTF-8 and one byte per character otherwise.

#include "FuzzSupport.h"
#include "settings/clsINI.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int ReadChecks = 64; // keys looked up per input; each lookup walks the document

struct Section {
    std::string Name;
    std::vector<std::string> Keys; // "name=value" and the comment lines, sorted
    bool operator==(const Section&) const = default;
};

// The document SaveFile wrote: the lines before the first section (comments and keys) as a
// section of the name "\n", which no header gives, then "[name]" lines, each followed by its
// "name=value" lines, a blank line between sections, comment lines anywhere (those between a
// blank line and a header belong to the header's section), every line ended by CR LF.
std::vector<Section> ReadSaved(std::string_view bytes) {
    std::vector<Section> sections{{"\n", {}}};
    bool blank = false;                // the line before was the blank line between two sections
    std::vector<std::string> comments; // those after that blank line
    while (!bytes.empty()) {
        const std::size_t end = bytes.find("\r\n");
        fuzz::Check(end != std::string_view::npos, "a saved line lacks its CR LF");
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 2);
        fuzz::Check(line.find_first_of("\r\n") == std::string_view::npos,
                    "a saved line holds a line break");
        if (line.empty()) {
            fuzz::Check(sections.size() > 1 && !blank, "a blank line not between two sections");
            blank = true;
        } else if (line.front() == ';') {
            (blank ? comments : sections.back().Keys).emplace_back(line);
        } else if (line.front() == '[') {
            fuzz::Check(line.back() == ']' && line.size() >= 2, "a saved header lacks its ]");
            fuzz::Check(sections.size() == 1 || blank, "sections not parted by a blank line");
            sections.push_back({std::string(line.substr(1, line.size() - 2)), comments});
            comments.clear();
            blank = false;
        } else {
            fuzz::Check(!blank, "a saved key after the blank line");
            fuzz::Check(line.find('=') != std::string_view::npos, "a saved key lacks its =");
            sections.back().Keys.emplace_back(line);
        }
    }
    fuzz::Check(!blank, "the saved file ends in a blank line");
    for (Section& section : sections)
        std::sort(section.Keys.begin(), section.Keys.end());
    return sections;
}

// A saved line's text as clsINI reads it: UTF-8 when it is valid UTF-8, otherwise one character
// per byte; a byte-order mark at its start is a character.
QString Text(std::string_view line) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    const QString text = utf8(QByteArrayView(line));
    return utf8.hasError() ? QString::fromLatin1(QByteArrayView(line)) : text;
}

std::string Save(clsINI& ini, const QString& path) {
    ini.SaveFile();
    QFile file(path);
    fuzz::Check(file.open(QIODevice::ReadOnly), "the saved file cannot be read");
    return file.readAll().toStdString();
}

// ReadString gives one of the values saved under that key in the first section of that name,
// and ReadLong reads it without failing other than by the overflow it may report.
void CheckReads(const clsINI& ini, const std::vector<Section>& saved) {
    int checks = 0;
    std::set<QString> seen; // sections already looked up: only the first one counts
    for (std::size_t s = 1; s < saved.size(); ++s) {
        const QString sectionName = Text("[" + saved[s].Name + "]").chopped(1).sliced(1);
        if (!seen.insert(sectionName).second)
            continue;
        std::vector<QString> keys;
        for (const std::string& line : saved[s].Keys) {
            if (line.front() != ';')
                keys.push_back(Text(line));
        }
        std::sort(keys.begin(), keys.end());
        for (const QString& key : keys) {
            if (++checks > ReadChecks)
                return;
            const QString name = key.first(key.indexOf(u'='));
            const QString read = ini.ReadString(sectionName, name, QStringLiteral("\n"));
            fuzz::Check(std::binary_search(keys.begin(), keys.end(), name + u'=' + read),
                        "ReadString gives a value that was not saved");
            try {
                ini.ReadLong(sectionName, name);
            } catch (const std::overflow_error&) {
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int messages = 0;
    static const bool recording = [] {
        clsINI::SetFailureHandler([](const QString&, int, const QString&) { ++messages; });
        return true;
    }();
    (void)recording;

    const auto path = fuzz::ScratchFolder() / "settings.ini";
    fuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
    const QString file = QString::fromStdString(path.string());

    clsINI first;
    first.LoadINI(file);
    const std::string once = Save(first, file);
    const std::vector<Section> document = ReadSaved(once);
    CheckReads(first, document);

    clsINI second;
    second.LoadINI(file);
    const std::string twice = Save(second, file);
    fuzz::Check(ReadSaved(twice) == document, "the document changed when saved and loaded");
    fuzz::Check(messages == 0, "a save failed");
    return 0;
}
