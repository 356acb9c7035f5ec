#pragma once

// What a whole reading of an archive's directory finds: problems, which would stop extraction
// from writing an entry whole on some system, and notes on what is legal but unusual.

#include "archive/Archive.h"

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>

namespace archive {

struct Finding {
    enum class Kind {
        Problem, // a record cut short, data past the end, a negative offset or size, a name that
                 // is unsafe here or on Windows, or that another entry has (case folded or not)
        Note,    // data that overlaps another entry's or the directory
    };
    Kind What = Kind::Problem;
    int Position = 0; // the entry's record number
    std::string Name; // its name bytes
    std::string Text; // English, without the name: "negative size -1", "the same name as ..."
};

struct CheckReport {
    std::uint64_t Entries = 0, Problems = 0, Notes = 0;
    std::error_code ReadError; // reading the directory failed: the findings are not complete
};

// Reads the directory of an open archive once and hands each finding to `found`: first those
// of single entries in directory order, then the names that collide, then the overlaps. The
// checks across entries keep 28 bytes per entry (name, position and data range), so memory
// grows with the directory, unlike listing or extracting it.
CheckReport CheckArchive(const Archive& archive, const std::function<void(const Finding&)>& found);

} // namespace archive
