#pragma once

#include <QWidget>

#include <filesystem>
#include <memory>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QStackedWidget;
class HexView;
class ImageView;
namespace archive {
class EntryData;
}

// The read-only viewer of one entry, a window of its own ("NAME - Quillmarrow"): an image that
// Qt recognises by its content (fitted, zoomed), text, or else hex; "Hex" shows any entry as
// hex. Text is read in the encoding guessed (see textencoding::Guess), which the encoding box
// shows and changes. It reads the entry in place through the archive core, so a changed
// archive, a record cut short or a negative range is shown as such. Esc closes it.
class frmView : public QWidget {
    Q_OBJECT

public:
    // The most pixels an image may have to be shown; a larger one is shown as hex.
    static constexpr qint64 MaxImagePixels = qint64(1) << 25;
    // The most text shown; longer text is cut, and the status line says so.
    static constexpr qint64 MaxTextBytes = qint64(1) << 20;
    // Text has no NUL in this many first bytes, which must decode.
    static constexpr qint64 TextProbeBytes = qint64(64) << 10;

    // The entry at list position `position`, listed as `listedName` and shown as `shownName`.
    frmView(QWidget* owner, const std::filesystem::path& archive, int position,
            const std::string& listedName, const QString& shownName);
    ~frmView() override;

    QStackedWidget* pages;
    ImageView* imgPicture;
    QScrollArea* scrPicture;
    QPlainTextEdit* txtText;
    HexView* hexData; // null when the entry cannot be read
    QLabel* lblProblem;
    QLabel* lblStatus;
    QAction* mnuViewZoomIn;
    QAction* mnuViewZoomOut;
    QAction* mnuViewActualSize;
    QAction* mnuViewFit;
    QAction* mnuViewHex;
    QComboBox* cboEncoding; // enabled while text is shown

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowContent();
    bool ShowImage();
    bool ShowText();
    void ShowHex(const QString& why);
    void DecodeText();
    void SetZoom(double zoom, bool fit);
    void ImageStatus();

    std::shared_ptr<const archive::EntryData> data_;
    QString shownName_, format_, note_;
    QByteArray text_;             // the bytes shown as text
    bool encodingChosen_ = false; // by the user, rather than guessed
    double zoom_ = 1.0;
    bool fit_ = true;
};
