// Writes the seed corpus of the settings harness into a folder: settings files written by
// clsINI itself, and the odd cases its loader cares about.

#include "settings/clsINI.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <utility>
#include <vector>

namespace {

struct Change {
    const char* Section;
    const char* Key;
    const char* Value; // nullptr deletes the key
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: fuzz_ini_seeds FOLDER\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + u'/';
    bool failed = false;
    clsINI::SetFailureHandler([&](const QString& prompt, int, const QString&) {
        std::fprintf(stderr, "%s\n", qPrintable(prompt));
        failed = true;
    });

    // Files the program's settings store writes, change by change.
    const std::vector<std::pair<const char*, std::vector<Change>>> written = {
        {"folder", {{"General", "Folder", "/home/user/Archives"}}},
        {"numeric-and-named-keys",
         {{"S", "10", "ten"},
          {"S", "9", "nine"},
          {"S", "b", ""},
          {"S", "a", "x=y"},
          {"S", "-2.5", "-2.5"},
          {"S", "1e3", "1e3"},
          {"S", "2147483648", "big"}}},
        {"sections",
         {{"General", "Folder", "C:\\Data"},
          {"Other", "b", "2"},
          {"Other", "a", "1"},
          {"Other", "b", nullptr},
          {"Last", " blank ", " kept "}}},
        {"8-bit-text", {{"Grüße", "ö", "ä"}, {"", "", ""}}},
    };
    for (const auto& [name, changes] : written) {
        const QString path = folder + "seed-" + name;
        QFile::remove(path);
        clsINI ini;
        ini.LoadINI(path);
        for (const Change& c : changes) {
            if (c.Value)
                ini.WriteValue(QString::fromUtf8(c.Section), QString::fromUtf8(c.Key),
                               QString::fromUtf8(c.Value));
            else
                ini.DeleteKey(QString::fromUtf8(c.Section), QString::fromUtf8(c.Key));
        }
    }

    // Files as people and other programs write them.
    static const char Nuls[] = "[A\0B]\r\nk\0=\0v\r\n";
    const std::vector<std::pair<const char*, QByteArray>> raw = {
        {"empty", ""},
        {"comments-and-key-before-section", "k=0\r\n;c=1\r\n[A]\r\n;k=1\r\n#k=2\r\nk=3\r\n"},
        {"line-endings", "[A]\nk=1\rj=2\r\r\ni=3"},
        {"byte-order-mark", "\xEF\xBB\xBF[A]\r\nk=1\r\n"},
        {"headers", "[]\r\n[\r\n[abc\r\n[A] ;x\r\nk=v\r\n[A\xF0\x9F\x98\x80\r\nk=w\r\n"},
        {"duplicates", "[A]\r\nk=2\r\nk=1\r\n[B]\r\n[A]\r\nz=3"},
        {"invalid-utf-8", "[\xFF\xFE]\r\n\xC3=\xE2\x82\r\nk=\xED\xA0\x80\r\n"},
        {"latin-1", "[Gr\xFC\xDF" "e]\r\nM\xFCller=\xE4\r\n"},
        {"nul-bytes", QByteArray(Nuls, sizeof Nuls - 1)},
    };
    for (const auto& [name, bytes] : raw) {
        QFile file(folder + "seed-" + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::perror(argv[1]);
            return 1;
        }
    }
    return failed ? 1 : 0;
}
