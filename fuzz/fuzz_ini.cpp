// clsINI on arbitrary bytes: load, save, load the saved file and save again. The document must
// survive the second round: the same sections, names in order, each with the same keys
// (name=value, as a multiset; the order of keys may change, as every key is placed again when
// it is loaded). The first load may lose what a document cannot hold (keys before the first
// section, comments, line endings, a byte-order mark), so both documents are compared through
// what SaveFile writes, which must have its layout exactly. Every save must succeed, and
// ReadString and ReadLong must agree with what was saved, read as UTF-8 when the input is valid
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
    std::vector<std::string> Keys; // "name=value", sorted
    bool operator==(const Section&) const = default;
};

// The document SaveFile wrote: "[name]" lines, each followed by its "name=value" lines, a blank
// line between sections, every line ended by CR LF.
std::vector<Section> ReadSaved(std::string_view bytes) {
    std::vector<Section> sections;
    bool blank = false; // the line before was the blank line between two sections
    while (!bytes.empty()) {
        const std::size_t end = bytes.find("\r\n");
        fuzz::Check(end != std::string_view::npos, "a saved line lacks its CR LF");
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 2);
        fuzz::Check(line.find_first_of("\r\n") == std::string_view::npos,
                    "a saved line holds a line break");
        if (line.empty()) {
            fuzz::Check(!sections.empty() && !blank, "a blank line not between two sections");
            blank = true;
        } else if (line.front() == '[') {
            fuzz::Check(line.back() == ']' && line.size() >= 2, "a saved header lacks its ]");
            fuzz::Check(sections.empty() || blank, "sections not parted by a blank line");
            sections.push_back({std::string(line.substr(1, line.size() - 2)), {}});
            blank = false;
        } else {
            fuzz::Check(!sections.empty() && !blank, "a saved key outside a section");
            fuzz::Check(line.front() != ';', "a saved key reads as a comment");
            fuzz::Check(line.find('=') != std::string_view::npos, "a saved key lacks its =");
            sections.back().Keys.emplace_back(line);
        }
    }
    fuzz::Check(!blank, "the saved file ends in a blank line");
    for (Section& section : sections)
        std::sort(section.Keys.begin(), section.Keys.end());
    return sections;
}

// Whether clsINI reads the input one byte per character: it is not valid UTF-8 (after a
// byte-order mark at its start).
bool ReadAsLatin1(std::string_view input) {
    if (input.starts_with("\xEF\xBB\xBF"))
        input.remove_prefix(3);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    const QString decoded = utf8(QByteArrayView(input)); // decodes when made a QString
    return utf8.hasError();
}

bool latin1 = false; // how the current input is read

// Saved text as clsINI read the input; a byte-order mark at the start of a name is a character.
QString Text(std::string_view bytes) {
    if (latin1)
        return QString::fromLatin1(QByteArrayView(bytes));
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    return utf8(QByteArrayView(bytes));
}
std::string Bytes(const QString& text) {
    return (latin1 ? text.toLatin1() : text.toUtf8()).toStdString();
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
    std::set<std::string> seen; // sections already looked up: only the first one counts
    for (const Section& section : saved) {
        if (!seen.insert(section.Name).second)
            continue;
        const QString sectionName = Text(section.Name);
        for (const std::string& key : section.Keys) {
            if (++checks > ReadChecks)
                return;
            const std::size_t equals = key.find('=');
            const QString name = Text(std::string_view(key).substr(0, equals));
            const std::string read = Bytes(ini.ReadString(sectionName, name, QStringLiteral("\n")));
            const std::string prefix = key.substr(0, equals + 1);
            fuzz::Check(std::binary_search(section.Keys.begin(), section.Keys.end(), prefix + read),
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
    latin1 = ReadAsLatin1(std::string_view(reinterpret_cast<const char*>(data), size));

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
