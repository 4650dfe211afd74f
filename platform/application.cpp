#include "platform/application.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <cstdio>

#include "platform/exceptions.h"

TApplication Application;

int TApplication::MessageBox(const QString& text, const QString& caption, int flags)
{
    if (OnMessageBox)
        return OnMessageBox(text, caption, flags);
    if (Headless || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        return IDOK;
    }
    QMessageBox box;
    box.setWindowTitle(caption);
    box.setText(text);
    const int icon = flags & 0xF0;
    box.setIcon(icon == MB_ICONERROR ? QMessageBox::Critical : icon == MB_ICONWARNING ? QMessageBox::Warning : QMessageBox::NoIcon);
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    QPushButton* cancel = (flags & 0xF) == MB_OKCANCEL ? box.addButton(QMessageBox::Cancel) : nullptr;
    box.setDefaultButton(cancel && (flags & MB_DEFBUTTON2) ? cancel : ok);
    if (cancel)
        box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok ? IDOK : IDCANCEL;
}

void TApplication::HandleException(const std::exception& e)
{
    MessageBox(QString::fromUtf8(e.what()), Title, MB_OK | MB_ICONERROR);
}

void TApplication::Post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), [fn = std::move(fn)] { DispatchSafely(fn); },
                              Qt::QueuedConnection);
}

void TApplication::Terminate()
{
    QCoreApplication::exit(0);
}

void DispatchSafely(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        Application.HandleException(e);
    } catch (...) {
        Application.HandleException(Exception("不明な例外が発生しました"));
    }
}
