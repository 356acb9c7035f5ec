#pragma once

#include <QString>

#include <functional>

class QObject;

// Handing a folder, a web address or a "mailto:" address to the system's default program.
namespace modOpenFolder {

// Opens the target: a string with a URL scheme of two or more letters ("https:", "mailto:") as
// that URL, anything else as a local path. Returns at once: false when no program took it (an
// empty target too), for the caller to say so. Where the desktop's opener is a program of its
// own (see SetOpener), its failure is known only when it ends: Failed is called then, unless
// Context is gone.
bool OpenFolder(const QString& target, QObject* Context = nullptr,
                std::function<void()> Failed = {});

// The program that opens targets, run with the URL as its one argument and failing by its exit
// status: xdg-open on Unix desktops other than macOS where it is installed and the platform
// has a display; none elsewhere, where QDesktopServices opens them (and tests hook it with its
// URL handlers). Tests set a program of their own; an empty one gives the default back.
void SetOpener(const QString& program);

} // namespace modOpenFolder
