// The window's picture of the table model: captions, visibility, the away
// marks, and the computer players and places of a dealt game. Every rule reads the model; the controls only show it.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "client/deal_dialog.h"
#include "client/main_window.h"
#include "platform/cp932.h"

namespace {

QString Text(const AnsiString& bytes)
{
    return Cp932::Decode(bytes);
}

}  // namespace

void TForm1::RenderTable()
{
    const TTableState& table = Table.Table();
    Panel2->setVisible(table.Shown);
    lblYamafuda->setText(table.Pile ? QString::number(*table.Pile) : tr("山札"));
    lblMokuteki->setText(table.Target ? Text(*table.Target) : tr("目的数"));
    lblMName->setText(Text(table.Setter));
    BafudaCount = Table.FieldCount();
    for (int i = 0; i < SlotCount; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        if (i < BafudaCount) {
            lblCards[slot]->setText(Text(table.Field[slot].Drawer));
        } else {
            Images[slot]->clear();
            lblCards[slot]->clear();
        }
    }
    lblHit->setVisible(Table.HitShown());
    RenderSeats();
    RenderJudgement();
}

void TForm1::RenderSeats()
{
    const TTableState& table = Table.Table();
    const auto places = SeatPlaces(table);
    for (int s = 0; s < SeatCount; ++s) {
        const auto seat = static_cast<std::size_t>(s);
        const std::optional<AnsiString>& occupant = table.Occupants[seat];
        // A computer player's seat is marked, its level in the tip.
        const auto bot = occupant ? Game.Bots().find(*occupant) : Game.Bots().end();
        const bool isBot = bot != Game.Bots().end();
        lblTNames[seat]->setText(!occupant ? tr("空き")
                                 : isBot   ? tr("%1 CPU").arg(Text(*occupant).trimmed())
                                           : Text(*occupant));
        // An away player's seat is greyed out.
        const bool away = occupant && !occupant->empty() && Table.IsAway(*occupant);
        lblTNames[seat]->setEnabled(!away);
        lblTNames[seat]->setToolTip(away    ? tr("不在")
                                    : isBot ? tr("コンピューター（%1）").arg(TDealDialog::LevelName(bot->second))
                                            : QString());
        // During a dealt game each hand also shows its place.
        lblTables[seat]->setText(Game.Running() && places[seat] > 0
                                     ? tr("%1枚 %2位").arg(table.Hands[seat]).arg(places[seat])
                                     : QString::number(table.Hands[seat]));
        const bool own = Table.OwnsSeat(s);
        btnTakes[seat]->setText(own ? tr("離席") : tr("座る"));
        btnB2Ts[seat]->setVisible(own);
        btnT2Ys[seat]->setVisible(own);
    }
    // Who may stop a game follows the seats.
    RenderGame();
}

void TForm1::RenderRoster()
{
    lstPlayers->clear();
    // What marks an away player's roster row.
    const QString awayMark = tr("（不在）");
    for (std::size_t i = 0; i < roster_.size(); ++i) {
        const AnsiString& entry = roster_[i];
        const bool away = Table.IsAwayEntry(i);
        const QString caption = PlayerCaption(entry);
        auto* row = new QListWidgetItem(away ? caption + awayMark : caption, lstPlayers);
        row->setSizeHint(QSize(0, 16));
        if (away)
            row->setForeground(Qt::gray);
    }
}

void TForm1::RenderJudgement()
{
    const std::optional<TJudgement>& judgement = Table.Judgement();
    const bool shown = judgement.has_value();
    lblJudge->setVisible(shown);
    btnShowAnswer->setVisible(shown);
    lblAnswer->setVisible(shown);
    // The hitter's box, also while a dealt game awaits its answer.
    const bool hitter = (shown && judgement->Hitter == PlayerName) || Game.Hitter() == PlayerName;
    edtAnswer->setVisible(hitter && !TablePlace.Watching());
    if (!shown)
        return;
    QString verdict;
    switch (judgement->Verdict) {
    case TJudgement::TVerdict::Reachable: verdict = tr("作れます"); break;
    case TJudgement::TVerdict::Unreachable: verdict = tr("作れません"); break;
    case TJudgement::TVerdict::Undecided: verdict = tr("判定なし"); break;
    }
    if (judgement->First)
        verdict += tr("　一番乗り %1").arg(Text(judgement->Hitter).trimmed());
    lblJudge->setText(verdict);
    btnShowAnswer->setEnabled(!judgement->Expression.empty() && !judgement->ExpressionShown);
    lblAnswer->setText(judgement->ExpressionShown ? Text(judgement->Expression) : QString());
}
