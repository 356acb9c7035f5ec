#pragma once

#include "archive/Extract.h"
#include "ui/main/ExtractionRun.h"

#include <QString>

#include <string_view>

// The message that closes an extraction: its text, its message-box style and its title.
struct ClosingMessage {
    QString Prompt;
    int Style = 0;
    QString Title;
};

// How many problem entries the closing message names before it only counts the rest.
inline constexpr int ProblemsShown = 20;

// "Extraction complete.", or the problems of the run: the entries not written whole (each
// under its record's name, or the listed one when the record was never read, the first
// ProblemsShown of them), how many were cancelled, or why nothing was extracted.
ClosingMessage ExtractSummary(const archive::ExtractReport& report,
                              const ExtractionRequest& request);

// An entry name fit for one line, by the command line's rule (archive::Escaped): control
// characters (C0, DEL, C1) and bytes that are not text become \xNN (C1 as its two UTF-8 bytes),
// the backslash \\. On Windows the name is read in the ANSI code page first, as the window
// shows names there.
QString EscapedName(std::string_view name);

// A problem line that the message box never breaks: it grows to fit the line instead.
QString UnbrokenLine(const QString& line);

// The closing message of a run that extracted nothing: what failed (a path), and why.
ClosingMessage NothingExtracted(const QString& what, const QString& why);
