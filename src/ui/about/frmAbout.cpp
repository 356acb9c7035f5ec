#include "ui/about/frmAbout.h"

#include "Version.h"
#include "winutil/modMouseOver.h"
#include "winutil/modOpenFolder.h"
#include "winutil/modScreen.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, double left, double top,
                  double width, double height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    modScreen::Move(label, left, top, width, height);
    return label;
}

// A text box that looks and acts as a link: blue underlined text on the dialog's own background,
// no frame, read-only, never taking the focus, as wide as its text, so that the hand cursor shows
// over the text alone.
QLineEdit* MakeLinkBox(QWidget* parent, const char* name, const QString& text, double left,
                       double top, double height) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    box->setFrame(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop); // text at a known height, see LineUpLabel
    modMouseOver::MakeLinkBox(box);
    QFont font = box->font();
    font.setUnderline(true);
    box->setFont(font);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    box->setPalette(palette);
    box->setTextMargins(0, 0, 0, 0);
    modScreen::Move(box, left, top, 0, height);
    // The text and the box's own margins (2 pixels each side), up to the window's right margin.
    const int needed = box->fontMetrics().horizontalAdvance(text) + 6;
    const int room = modScreen::PixelsX(5730 - 120) - box->x();
    box->resize(std::min(needed, room), box->height());
    box->setCursorPosition(0);
    return box;
}

// Moves a link's label so that its text stands on the same baseline as the link's: a frameless
// text box aligned to the top draws its text one pixel below its top edge.
void LineUpLabel(QLabel* label, const QLineEdit* box) {
    const int baseline = box->y() + 1 + box->fontMetrics().ascent();
    label->move(label->x(), baseline - label->fontMetrics().ascent());
}

} // namespace

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(modScreen::PixelsX(5730), modScreen::PixelsY(3255));
    QFont font = this->font(); // the platform's UI font at the window's 8.25 points
    font.setPointSizeF(8.25);
    setFont(font);

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setScaledContents(true);
    modScreen::Move(imgIcon, 240, 240, 300, 300);

    lblTitle = MakeLabel(this, "lblTitle", QStringLiteral("Quillmarrow"), 1050, 240, 3885, 360);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(9.75);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = MakeLabel(this, "lblVersion", QStringLiteral("Version"), 1050, 600, 3885, 225);
    lblDescription = MakeLabel(
        this, "lblDescription",
        QStringLiteral("Lists the entries of simple archive files and copies the entries you "
                       "select into a folder, one file per entry."),
        1050, 960, 3885, 930);
    lblDescription->setWordWrap(true);
    lbl[0] = MakeLabel(this, "lbl0", QStringLiteral("website:"), 1080, 1920, 615, 210);
    txtWebSite =
        MakeLinkBox(this, "txtWebSite", QStringLiteral("https://www.example.com/quillmarrow/"),
                    1800, 1920, 255);
    lbl[1] = MakeLabel(this, "lbl1", QStringLiteral("email:"), 1080, 2280, 495, 255);
    txtEmail =
        MakeLinkBox(this, "txtEmail", QStringLiteral("quillmarrow@example.com"), 1800, 2280, 255);
    for (QLabel* label : lbl) // as the link boxes: wide enough for the platform's font
        label->resize(std::max(label->width(), std::min(label->sizeHint().width(),
                                                        modScreen::PixelsX(1800 - 1080))),
                      label->height());
    LineUpLabel(lbl[0], txtWebSite);
    LineUpLabel(lbl[1], txtEmail);
    lblDisclaimer = MakeLabel(
        this, "lblDisclaimer",
        QStringLiteral(
            "Warning: Not responsible for any lost data.  Be sure to make back up copies."),
        255, 2745, 3870, 465);
    lblDisclaimer->setWordWrap(true);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true); // Enter; Escape closes the dialog through reject()
    modScreen::Move(cmdOK, 4245, 2745, 1260, 345);
    for (QLabel* black : {lblTitle, lblDescription, lblDisclaimer}) {
        QPalette palette = black->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        black->setPalette(palette);
    }

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    txtWebSite->installEventFilter(this);
    txtEmail->installEventFilter(this);

    Form_Load();
    cmdOK->setFocus();
}

void frmAbout::Form_Load() {
    const QIcon icon = parentWidget() ? parentWidget()->windowIcon() : QApplication::windowIcon();
    setWindowIcon(icon);
    imgIcon->setPixmap(icon.pixmap(modScreen::PixelsX(300), modScreen::PixelsY(300)));
    setWindowTitle(QStringLiteral("About ") + QStringLiteral("Quillmarrow"));
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(QUILLMARROW_VERSION_MAJOR)
                            .arg(QUILLMARROW_VERSION_MINOR)
                            .arg(QUILLMARROW_VERSION_PATCH));
}

void frmAbout::cmdOK_Click() {
    accept();
}

void frmAbout::LinkBox_MouseDown(QLineEdit* box) {
    cmdOK->setFocus();
    const QString text = box->text();
    modOpenFolder::OpenFolder(box == txtEmail ? QStringLiteral("mailto:") + text : text);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box != txtWebSite && box != txtEmail)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        LinkBox_MouseDown(box);
        return true;
    case QEvent::MouseMove:
    case QEvent::MouseButtonDblClick: // the second press of a double-click opens nothing more
    case QEvent::MouseButtonRelease:
        return true; // the box neither selects text nor takes the focus
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // The etched rule between the links and the disclaimer: a grey line one pixel high over a
    // white one two pixels high, each filled as whole pixel rows so that neither covers the other.
    QPainter painter(this);
    const auto rule = [&](double left, double top, int rows, const QColor& colour) {
        const int x = modScreen::PixelsX(left);
        painter.fillRect(x, modScreen::PixelsY(top), modScreen::PixelsX(5654) - x + 1, rows,
                         colour);
    };
    rule(105, 2580, 2, Qt::white);
    rule(90, 2565, 1, QColor(128, 128, 128));
}
