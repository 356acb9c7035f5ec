#pragma once

class QObject;

// Gives windows a minimum and a maximum size to which the user can drag them (modResizeLimits
// keeps the list). The list is shared by all instances and reset by each new one, so one instance
// at a time: the main window owns it from load to unload.
//
// frm is any window object, read by name (see modObject): hWnd is required; ScaleMode and the
// methods ScaleX and ScaleY are used when it offers them (clsForm does).
class clsResizeLimits {
public:
    clsResizeLimits();  // the list becomes one empty record
    ~clsResizeLimits(); // puts the previous procedure of every recorded window back

    clsResizeLimits(const clsResizeLimits&) = delete;
    clsResizeLimits& operator=(const clsResizeLimits&) = delete;

    // Records or updates the limits of frm's window and subclasses it if it is not yet. The values
    // are in frm's scale (twips when frm has no ScaleMode, whatever ValuesArePixels says) or, with
    // ValuesArePixels, pixels; a maximum of 0 stands for the screen's size. Every failing step is
    // skipped silently; without a window handle or with a value that is no 32-bit number nothing
    // is recorded.
    void AddLimits(QObject* frm, double MinX = 0, double MinY = 0, double MaxX = 0, double MaxY = 0,
                   bool ValuesArePixels = false);

    // Puts frm's previous procedure back and clears its record. Returns false, doing nothing,
    // when frm has no window handle.
    bool RemoveFormLimits(QObject* frm);

    // Puts the previous procedure of every recorded window back; the records stay.
    void RemoveAllLimits();
};
