#pragma once

#include <QObject>
#include <QString>
#include <exception>
#include <functional>

// Message box buttons, icons and results, in the values the forms pass.
inline constexpr int MB_OK = 0x0;
inline constexpr int MB_OKCANCEL = 0x1;
inline constexpr int MB_ICONERROR = 0x10;
inline constexpr int MB_ICONWARNING = 0x30;
inline constexpr int MB_DEFBUTTON2 = 0x100;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// The application object: title, message boxes, the standard error report and
// posting work to the event loop. Every message box and error report goes
// through here so that tests can answer them and a headless program can print
// them instead of blocking on a window nobody sees.
class TApplication {
public:
    using MessageBoxHandler = std::function<int(const QString& text, const QString& caption, int flags)>;

    QString Title;
    // When set, message boxes are written to standard error and answered OK.
    bool Headless = false;
    // Replaces the message box (tests answer boxes through this).
    MessageBoxHandler OnMessageBox;

    int MessageBox(const QString& text, const QString& caption, int flags);

    // The standard error report: a message box with the exception's text,
    // captioned with the title.
    void HandleException(const std::exception& e);

    // Runs fn from the event loop, after the current event has been handled.
    void Post(std::function<void()> fn);

    // Ends the event loop.
    void Terminate();
};

extern TApplication Application;

// Runs fn and hands any exception that escapes it to the standard error
// report: how every event handler is called, so that one failing handler
// never stops the dispatching of the next event.
void DispatchSafely(const std::function<void()>& fn);

// Binds a widget's signal (a click, Enter in an edit box) to a handler that
// runs the way socket events run: through DispatchSafely.
template <typename Sender, typename Signal, typename Handler>
void ConnectHandler(Sender* sender, Signal signal, Handler handler)
{
    QObject::connect(sender, signal, sender, [handler] { DispatchSafely(handler); });
}
