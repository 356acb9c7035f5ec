// Writes the sample archive that a new user finds beside the program: a few small text
// files and a picture, all made here.

#include "archive/ArchiveWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void PutLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

// A 48 x 48 24-bit picture: a quill-coloured diagonal band over a warm gradient.
std::string Picture() {
    constexpr int Side = 48;
    constexpr int RowBytes = Side * 3; // already a multiple of four
    std::string bmp = "BM";
    PutLE(bmp, 54 + RowBytes * Side, 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 54, 4);
    PutLE(bmp, 40, 4);
    PutLE(bmp, Side, 4);
    PutLE(bmp, Side, 4);
    PutLE(bmp, 1, 2);
    PutLE(bmp, 24, 2);
    for (int i = 0; i < 6; ++i)
        PutLE(bmp, 0, 4);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const bool band = std::abs(x - y) < 5;
            const int r = band ? 70 : 200 + x;
            const int g = band ? 40 : 150 + y;
            const int b = band ? 120 : 90;
            bmp.push_back(static_cast<char>(b));
            bmp.push_back(static_cast<char>(g));
            bmp.push_back(static_cast<char>(r));
        }
    return bmp;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_sample OUTPUT\n", stderr);
        return 2;
    }
    const std::string archive = archive::BuildArchive({
        {"README.TXT", "This is a sample archive for Quillmarrow.\r\n"
                       "Select some entries, press Extract and choose a folder:\r\n"
                       "each entry becomes a file of its own.\r\n"},
        {"QUILL.BMP", Picture()},
        {"NOTES.TXT", "An archive starts with a directory of 20-byte records:\r\n"
                      "a 12-byte name, a 32-bit offset and a 32-bit size.\r\n"},
        {"COLOURS.CSV", "name,red,green,blue\r\nink,70,40,120\r\npaper,230,190,90\r\n"},
        {"EMPTY.DAT", ""},
    });
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(archive.data(), 1, archive.size(), out) != archive.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
