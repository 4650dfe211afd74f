#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <functional>

#include "client/dealt_game.h"

class QComboBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The fields of a dealt game in a small dialog of its own: the target (a
// number or a new random one each round), the pace, the answer time, how many
// computer players and their level. Each box keeps to the range the server
// takes, so every start it reports can be sent as it is. It only shows the
// fields it is given and reports the player's start.
class TDealDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(TDealDialog)

public:
    explicit TDealDialog(QWidget* parent);

    // Shows the fields under the title.
    void Open(const QString& title, const TDealOptions& options);
    // The fields as the boxes hold them.
    TDealOptions Options() const;

    // What the player reads for a computer player's level 1 to 5.
    static QString LevelName(int level);

    QRadioButton* rbFixed;
    QRadioButton* rbRandom;
    QSpinBox* spnTarget;
    QSpinBox* spnPace;
    QSpinBox* spnAnswer;
    QSpinBox* spnBots;
    QComboBox* cmbLevel;
    QPushButton* btnStart;

    // The player pressed the start button.
    std::function<void(const TDealOptions&)> OnStart;
};
