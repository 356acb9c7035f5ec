#pragma once

// The files an extraction run wrote, so that one replaced by a later entry of the same run (the
// same name, or one the file system folds to it) is found by its identity.

#include "FileIO.h"
#include "RecordReader.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace archive::io {

class WrittenFiles {
public:
    struct Written {
        int Position; // the entry that wrote the file
        bool Whole;   // the file holds every byte of the entry
    };

    // The names of earlier entries are read again from `records` when their files must be
    // identified in `folder`.
    WrittenFiles(const OutputFolder& folder, RecordReader& records)
        : folder_(folder), records_(records) {}

    // Entry `position` wrote its file.
    void Add(int position, bool whole);

    // The entry before `before` whose file has this identity, or, in a folder that folds
    // case, this name folded, if any. The files are identified only when a name turns out to be
    // taken by a file changed since the run began (by any file where the folder folds case:
    // there times may go in 2-second steps), and then only those written since the last time:
    // no file is looked at twice, and files that were there before cost nothing.
    std::optional<Written> Find(const FileId& id, const std::string& name, int before);

    // The file of `earlier`, which has this identity, was replaced by a later entry's.
    void Replaced(const Written& earlier, const FileId& id);

private:
    const OutputFolder& folder_;
    RecordReader& records_;
    // Which positions wrote a file (whole or not), and the identities of those before
    // identifiedUpTo_.
    std::vector<bool> here_, whole_;
    std::unordered_map<FileId, Written, FileIdHash> byId_;
    std::unordered_map<std::string, Written> byName_; // by folded name, where the folder folds case
    int identifiedUpTo_ = 0;
};

} // namespace archive::io
