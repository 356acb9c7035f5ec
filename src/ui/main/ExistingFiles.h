#pragma once

#include "ui/main/ExtractionRun.h"

#include <QStringList>

class QWidget;

// The names of the request's entries whose files exist in its output folder already (names
// that cannot be file names left out), in the request's order.
QStringList ExistingFiles(const ExtractionRequest& request);

// Before anything is written: when files in the output folder would be replaced, asks once
// whether to replace them, keep them or cancel (the default, as Esc), naming how many and the
// first few.
enum class ReplaceAnswer { Replace, KeepExisting, Cancel };
ReplaceAnswer AskBeforeReplacing(const ExtractionRequest& request, QWidget* owner);

// How many names the question shows before it only counts the rest.
inline constexpr int ExistingShown = 10;
