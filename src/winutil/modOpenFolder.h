#pragma once

#include <QString>

// Handing a folder, a web address or a "mailto:" address to the system's default program.
namespace modOpenFolder {

// Opens the target: a string with a URL scheme of two or more letters ("https:", "mailto:") as
// that URL, anything else as a local path. Returns at once: false when no program took it (an
// empty target too), for the caller to say so.
bool OpenFolder(const QString& target);

} // namespace modOpenFolder
