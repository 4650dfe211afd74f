// The computer players of a dealt game at a table. They are roster entries
// that no connection holds; the table tells each bot's model what changed
// after every event, solves what the models ask within what the server's
// solving budget leaves beyond a reserve kept for players' hits, and wakes
// them to hit and answer as a player's packets would.
#include <algorithm>

#include "protocol/command_words.h"
#include "protocol/padded_name.h"
#include "protocol/player_name.h"
#include "table/game_table.h"

using namespace Protocol;

namespace {

// Players' hits are judged before any bot solves: bots use only what the
// budget holds beyond this much.
constexpr auto PlayersReserve = std::chrono::milliseconds(50);

Bots::Time BotTime(std::chrono::steady_clock::time_point now)
{
    return std::chrono::duration_cast<Bots::Time>(now.time_since_epoch());
}

}  // namespace

void TGameTable::JoinBot(const Dealer::TBotPlayer& bot)
{
    // Relayed as a level-1 join is: the "/join", then everyone's roster.
    SendTextToAll(AnsiString(Command::Join) + " " + bot.Name);
    const int index = Roster.Add(bot.Name);
    Roster.Update(index, [](TRosterEntry& entry) { entry.Bot = true; });
    SendTextToAll("/list " + Roster.Text());
    Log("/参加  ", bot.Name, "bot");
    AddBotModel(bot);
}

void TGameTable::AddBotModel(const Dealer::TBotPlayer& bot)
{
    const Bots::Level* level = Bots::FindLevel(bot.Level);
    bots_.push_back({bot.Name, Bots::Bot(TrimmedName(bot.Name), level ? *level : Bots::Levels[2], dealerRandom_()),
                     false, false});
    botField_.clear();
    botTarget_.reset();
}

void TGameTable::LeaveBot(const AnsiString& name)
{
    bots_.erase(std::remove_if(bots_.begin(), bots_.end(), [&](const TTableBot& b) { return b.Name == name; }),
                bots_.end());
    for (int i = 0; i < Roster.Count(); ++i)
        if (Roster.Entry(i).Bot && Roster[i] == name) {
            RemoveEntry(i, "対局終了");
            break;
        }
}

void TGameTable::FollowBots()
{
    if (bots_.empty())
        return;
    const auto now = services_.Now();
    const std::vector<int> field = FieldCards();
    const std::optional<std::int64_t> target = Target();
    if (field != botField_ || target != botTarget_) {
        // One more card on the same field and target is a deal.
        const bool dealt = target == botTarget_ && field.size() == botField_.size() + 1 &&
                           std::equal(botField_.begin(), botField_.end(), field.begin());
        for (TTableBot& bot : bots_) {
            if (dealt)
                bot.Model.CardDealt(field, target, BotTime(now));
            else
                bot.Model.FieldChanged(field, target, BotTime(now));
        }
        botField_ = field;
        botTarget_ = target;
    }
    const Dealer::TTableView view = View();
    for (TTableBot& bot : bots_) {
        const bool seated = Dealer::SeatOf(view, bot.Name) >= 0;
        if (seated != bot.Seated) {
            bot.Seated = seated;
            bot.Model.SetSeated(seated, BotTime(now));
        }
        bot.Model.SetMayHit(dealer_.MayHit(bot.Name, view));
        const bool answering = SameNameIgnoringCase(dealer_.Hitter(), bot.Name);
        if (answering && !bot.AnswerOpened)
            bot.Model.AnswerOpened(BotTime(now));
        bot.AnswerOpened = answering;
    }
    // Every bot asks about the same field and target: one solve serves all.
    std::optional<Solver::Solution> solved;
    for (TTableBot& bot : bots_) {
        const auto request = bot.Model.WantedSolve();
        if (!request)
            continue;
        if (!solved) {
            const auto start = services_.Now();
            const auto limit = std::min<std::chrono::nanoseconds>(
                std::chrono::milliseconds(services_.Rules.SolverLimitMs),
                services_.SolveBudget.Left(start) - PlayersReserve);
            const bool delayed = limit <= std::chrono::nanoseconds::zero();
            if (services_.Counters.BotSolve)
                services_.Counters.BotSolve(delayed);
            if (delayed) {
                solved = Solver::Solution{};
            } else {
                const auto began = std::chrono::steady_clock::now();
                solved = Solver::Solve(request->field, request->target, Solver::Rule::AnySubset, limit);
                services_.SolveBudget.Spend(start, std::chrono::steady_clock::now() - began);
            }
        }
        bot.Model.Solved(request->view, *solved);
    }
}

void TGameTable::WakeBots()
{
    const auto now = services_.Now();
    for (std::size_t i = 0; i < bots_.size(); ++i) {
        const auto wake = bots_[i].Model.NextWake();
        if (!wake || *wake > BotTime(now))
            continue;
        const auto action = bots_[i].Model.Wake(BotTime(now));
        if (!action)
            continue;
        // A copy: what the action causes may end the game and its bots.
        const AnsiString name = bots_[i].Name;
        if (action->kind == Bots::Action::Kind::Hit) {
            Hit(AnsiString(Command::Hit) + " " + name);
        } else {
            const AnsiString line = name + ": " + action->expression;
            SendTextToAll(line);
            JudgeAnswer(name, action->expression, true);
        }
        FollowBots();
    }
}

std::chrono::steady_clock::time_point TGameTable::NextBotWake() const
{
    auto next = std::chrono::steady_clock::time_point{};
    for (const TTableBot& bot : bots_)
        if (const auto wake = bot.Model.NextWake()) {
            const auto at = std::chrono::steady_clock::time_point(std::chrono::duration_cast<std::chrono::steady_clock::duration>(*wake));
            if (next == std::chrono::steady_clock::time_point{} || at < next)
                next = at;
        }
    return next;
}
