#pragma once

#include "ui/controls/Label.h"
#include "ui/controls/Panel.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

// The version dialog: the program's icon, name and version, and an OK button.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    TPanel *Panel1;
    TPanel *Panel2;
    QLabel *ProgramIcon;
    TLabel *ProductName;
    TLabel *Version;
    TLabel *Comments;
    QPushButton *OKButton;

protected:
    void showEvent(QShowEvent *event) override;
};

extern TAboutBox *AboutBox;

// The program's icon, 32 x 32 (also the application's window icon).
QIcon programIcon();
