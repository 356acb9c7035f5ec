#include "ui/about/frmAbout.h"

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
// no frame, read-only, never taking the focus.
QLineEdit* MakeLinkBox(QWidget* parent, const char* name, const QString& text, double left,
                       double top, double width, double height) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    box->setFrame(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setMouseTracking(true);
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->setCursor(Qt::ArrowCursor);
    QFont font = box->font();
    font.setUnderline(true);
    box->setFont(font);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    box->setPalette(palette);
    box->setTextMargins(0, 0, 0, 0);
    modScreen::Move(box, left, top, width, height);
    // Where the platform's font is wider than the design's, the box grows to show its whole
    // text, up to the window's right margin.
    const int needed = box->fontMetrics().horizontalAdvance(text) + 6;
    const int room = modScreen::PixelsX(5730 - 120) - box->x();
    box->resize(std::clamp(needed, box->width(), std::max(box->width(), room)), box->height());
    box->setCursorPosition(0);
    return box;
}

} // namespace

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quillmarrow"));
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
        QStringLiteral("Extracts the files stored in simple game data archives, one file for each "
                       "entry.\nBased on an earlier extraction tool from 2001."),
        1050, 960, 3885, 930);
    lblDescription->setWordWrap(true);
    lbl[0] = MakeLabel(this, "lbl0", QStringLiteral("website:"), 1080, 1920, 615, 210);
    txtWebSite =
        MakeLinkBox(this, "txtWebSite", QStringLiteral("https://www.example.com/quillmarrow/"),
                    1800, 1920, 2055, 255);
    lbl[1] = MakeLabel(this, "lbl1", QStringLiteral("email:"), 1080, 2280, 495, 255);
    txtEmail = MakeLinkBox(this, "txtEmail", QStringLiteral("quillmarrow@example.com"), 1800, 2280,
                           1695, 255);
    for (QLabel* label : lbl) // as the link boxes: wide enough for the platform's font
        label->resize(std::max(label->width(), std::min(label->sizeHint().width(),
                                                        modScreen::PixelsX(1800 - 1080))),
                      label->height());
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
    modMouseOver::ReleaseMouseCapture(); // a capture left from an earlier showing
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
    case QEvent::MouseMove: {
        const QPointF at = static_cast<QMouseEvent*>(event)->position();
        modMouseOver::LinkBoxMouseMove(box, modScreen::TwipsX(at.x()), modScreen::TwipsY(at.y()));
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        LinkBox_MouseDown(box);
        return true;
    case QEvent::MouseButtonRelease:
        return true; // the box neither selects text nor takes the focus
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // The etched rule between the links and the disclaimer: a grey line over a white one.
    QPainter painter(this);
    painter.setPen(QPen(QColor(128, 128, 128), 1));
    painter.drawLine(modScreen::PixelsX(90), modScreen::PixelsY(2565), modScreen::PixelsX(5654),
                     modScreen::PixelsY(2565));
    painter.setPen(QPen(Qt::white, 2));
    painter.drawLine(modScreen::PixelsX(105), modScreen::PixelsY(2580), modScreen::PixelsX(5654),
                     modScreen::PixelsY(2580));
}
