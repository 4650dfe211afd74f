#include "platform/form.h"

#include <QFont>

TForm::TForm(QWidget* parent) : QDialog(parent)
{
    setFont(GameFont());
}

QFont TForm::GameFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(pixelSize);
    return font;
}

int TForm::ShowModal()
{
    modalResult_ = mrNone;
    exec();
    return modalResult_;
}

void TForm::SetModalResult(int value)
{
    modalResult_ = value;
    if (value != mrNone)
        QDialog::done(value == mrOk ? Accepted : Rejected);
}

void TForm::done(int result)
{
    if (modalResult_ == mrNone)
        modalResult_ = result == Accepted ? mrOk : mrCancel;
    QDialog::done(result);
}

void TForm::SetClientSize(int width, int height)
{
    setFixedSize(width, height);
}
