#include "ui/about/frmAbout.h"

#include "Version.h"
#include "ui/FocusCues.h"
#include "winutil/modMouseOver.h"
#include "winutil/modMsgBox.h"
#include "winutil/modOpenFolder.h"
#include "winutil/modScreen.h"

#include <QApplication>
#include <QKeyEvent>
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

// A palette whose window is darker than mid-grey: the About window then takes its colours from
// the palette rather than its own black, blue and white.
bool IsDark(const QWidget* widget) {
    return widget->palette().color(QPalette::Window).lightness() < 128;
}

// A text box that looks and acts as a link: blue underlined text on the dialog's own background,
// no frame, read-only, as wide as its text, so that the hand cursor shows over the text alone.
// Tab reaches it (a dotted rectangle shows the focus); Enter or Space opens it.
QLineEdit* MakeLinkBox(QWidget* parent, const char* name, const QString& text, double left,
                       double top, double height, const QString& description) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    box->setFrame(false);
    box->setFocusPolicy(Qt::TabFocus);
    box->setAccessibleName(text);
    box->setAccessibleDescription(description);
    focuscues::ShowFocusRect(box, 0); // around the text, which fills the box
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop); // text at a known height, see LineUpLabel
    modMouseOver::MakeLinkBox(box);
    QFont font = box->font();
    font.setUnderline(true);
    box->setFont(font);
    QPalette palette = box->palette();
    const bool dark = IsDark(parent);
    palette.setColor(QPalette::Base, palette.color(dark ? QPalette::Window : QPalette::Button));
    palette.setColor(QPalette::Text, dark ? palette.color(QPalette::Link) : QColor(0, 0, 255));
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
        QStringLiteral("Lists, views and extracts the entries of simple archive files, opens or "
                       "drags them out, and writes archives: replaces, adds, renames or removes "
                       "entries, or makes a new one."),
        1050, 960, 3885, 930);
    lblDescription->setWordWrap(true);
    lbl[0] = MakeLabel(this, "lbl0", QStringLiteral("website:"), 1080, 1920, 615, 210);
    txtWebSite =
        MakeLinkBox(this, "txtWebSite", QStringLiteral("https://www.example.com/quillmarrow/"),
                    1800, 1920, 255, QStringLiteral("Opens the web site in the browser"));
    lbl[1] = MakeLabel(this, "lbl1", QStringLiteral("email:"), 1080, 2280, 495, 255);
    txtEmail = MakeLinkBox(this, "txtEmail", QStringLiteral("quillmarrow@example.com"), 1800, 2280,
                           255, QStringLiteral("Writes an e-mail to this address"));
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
        if (IsDark(this))
            break; // the palette's own text colour
        QPalette palette = black->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        black->setPalette(palette);
    }
    imgIcon->setAccessibleName(QStringLiteral("Quillmarrow icon"));
    setTabOrder(cmdOK, txtWebSite);
    setTabOrder(txtWebSite, txtEmail);

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
    OpenLink(box);
}

void frmAbout::OpenLink(QLineEdit* box) {
    const QString text = box->text();
    const QString target = box == txtEmail ? QStringLiteral("mailto:") + text : text;
    const auto failed = [this, target] {
        modMsgBox::MsgBox(QStringLiteral("No program could open this link:\n%1").arg(target),
                          modMsgBox::vbExclamation, QStringLiteral("Could not open link"), this);
    };
    if (!modOpenFolder::OpenFolder(target, this, failed))
        failed();
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
        return true;      // the box neither selects text nor takes the focus
    case QEvent::FocusIn: // reached by Tab: the text is not selected, the focus cue shows it
        static_cast<QObject*>(box)->event(event);
        box->deselect();
        return true;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)
            return QDialog::eventFilter(watched, event);
        OpenLink(box);
        return true;
    }
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
    const bool dark = IsDark(this);
    rule(105, 2580, 2, dark ? palette().color(QPalette::Mid) : QColor(Qt::white));
    rule(90, 2565, 1, dark ? palette().color(QPalette::Dark) : QColor(128, 128, 128));
}
