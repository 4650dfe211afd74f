#pragma once

#include <QDialog>

// Modal results of a form.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;

// A window of the game: fixed-size, laid out in absolute pixels, in the
// proportional gothic font of the original ("ＭＳ Ｐゴシック", 12 pixels, which
// fontconfig maps to IPAPGothic). Shown modally, it reports its modal result.
class TForm : public QDialog {
    Q_OBJECT
public:
    explicit TForm(QWidget* parent = nullptr);

    // Shows the form modally and returns its modal result (mrOk, mrCancel).
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int value);

    // Fixes the size of the form's client area.
    void SetClientSize(int width, int height);

    // The font of the game's windows.
    static QFont GameFont(int pixelSize = 12);

protected:
    void done(int result) override;

private:
    int modalResult_ = mrNone;
};
