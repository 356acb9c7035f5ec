#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The About window: icon, title, version, description, disclaimer and two link boxes that open
// the web site and the e-mail address. Modal over its owner, fixed size, centred over it.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* owner);

    QLabel* imgIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QLabel* lbl[2];
    QLineEdit* txtWebSite;
    QLineEdit* txtEmail;
    QLabel* lblDisclaimer;
    QPushButton* cmdOK;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
    void cmdOK_Click();
    void LinkBox_MouseDown(QLineEdit* box);
    // Hands the link to the system; says so when no program takes it.
    void OpenLink(QLineEdit* box);
};
