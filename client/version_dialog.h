#pragma once

#include <QCoreApplication>
#include <QLabel>
#include <functional>
#include <string_view>

#include "client/version_info.h"
#include "platform/form.h"

class QPushButton;

// A label that reads as a link: blue, underlined, the hand cursor; a click
// with the left button raises OnClick.
class TLinkLabel : public QLabel {
public:
    TLinkLabel(const QString& text, QWidget* parent);
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The version dialog: the game's title, the program's file version read from
// its version block, and the credits with mail and web links that open in
// the desktop's own programs. Created at start-up, shown modally on demand.
class TForm2 : public TForm {
    Q_DECLARE_TR_FUNCTIONS(TForm2)

public:
    // versionBlock: where the version is read; the program's own block.
    explicit TForm2(QWidget* parent = nullptr, std::string_view versionBlock = ProgramVersionBlock());

    // The addresses the links hand to the desktop.
    static constexpr const char* MailLink = "mailto:kivol@example.org";
    static constexpr const char* GraphicMailLink = "mailto:art@example.org";
    static constexpr const char* GraphicURLLink = "https://www.example.org/kivol/";

    void lblMailClick();
    void lblGraphicMailClick();
    void lblGraphicURLClick();

    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblName;
    TLinkLabel* lblMail;
    QLabel* lblComponent;
    QLabel* lblGraphic;
    TLinkLabel* lblGraphicMail;
    TLinkLabel* lblGraphicURL;
    QPushButton* btnOK;
};
