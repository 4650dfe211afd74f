#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// A registered name's key in a small dialog of its own: the server, the name
// and the key, a button that copies the key (to take it to another device)
// and one that imports the key pasted for the server and name typed. It only
// shows what it is given and reports the player's import; the window checks
// and keeps the key.
class TNameKeyDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(TNameKeyDialog)

public:
    explicit TNameKeyDialog(QWidget* parent);

    // Shows the boxes filled (key: the kept key, or empty to paste one) under
    // the sentence that says why the dialog opened.
    void Open(const QString& sentence, const QString& server, const QString& name, const QString& key);
    // Why the import was not taken.
    void ShowProblem(const QString& problem);

    QLabel* lblSentence;
    QLineEdit* edtServer;
    QLineEdit* edtName;
    QLineEdit* edtKey;
    QPushButton* btnCopy;
    QPushButton* btnImport;
    QLabel* lblProblem;

    // The player pressed the import button: the three boxes as typed.
    std::function<void(const QString& server, const QString& name, const QString& key)> OnImport;
};
