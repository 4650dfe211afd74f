#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <functional>

#include "client/table_list.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The server's tables in a small dialog of its own: one row per listed table
// (the main table first), joining or watching the selected one, and making a
// new table with an optional key. It only shows the list it is given and
// reports the player's choice; the window asks for the rows while it is open.
class TTableListDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(TTableListDialog)

public:
    explicit TTableListDialog(QWidget* parent);

    // Shows the list's rows, keeping the selected table selected.
    void Render(const TTableList& list);

    QTableWidget* grdTables;
    QPushButton* btnJoin;
    QPushButton* btnWatch;
    QLineEdit* edtNewName;
    QLineEdit* edtNewKey;
    QPushButton* btnCreate;
    QLabel* lblProblem;

    // The player chose where to go.
    std::function<void(const TTableChoice&)> OnChoose;

private:
    void ChooseListed(bool watch);
    void ChooseNew();
    void RenderButtons();

    const TTableList* list_ = nullptr;
};
