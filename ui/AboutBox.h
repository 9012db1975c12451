#pragma once

#include "ui/controls/Label.h"
#include "ui/controls/Panel.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

// A push button with an 18 x 18 glyph that stands `margin` pixels from its left edge; the caption
// is centred in the space between the glyph and the right edge.
class TGlyphButton : public QPushButton {
    Q_OBJECT
public:
    TGlyphButton(const QIcon &glyph, const QString &caption, int margin, QWidget *parent);

    QRect glyphRect() const;
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_margin;
};

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
    TGlyphButton *OKButton;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

extern TAboutBox *AboutBox;

// The program's icon, 32 x 32 (also the application's window icon).
QIcon programIcon();
