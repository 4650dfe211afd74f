// The table model on its own and as the window renders it: a random game
// applied to a bare model and to a window must give the same table, the
// window's captions must show exactly that table, and the rebuild a server
// sends a late joiner must reproduce it. Also the judgement of a hit and the
// reconnection schedule.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <numeric>
#include <random>

#include "client/reconnector.h"
#include "client/table_model.h"
#include "client_test_support.h"
#include "platform/cp932.h"
#include "platform/exceptions.h"

using namespace client_test;

namespace {

std::string Two(int card)
{
    return (card < 10 ? "0" : "") + std::to_string(card);
}

// A server's table, dealing real cards, that sends what a server would and,
// now and then, what only a client that joined mid-game meets: a seat 6 to
// 9, a move from an empty field, a thirteenth card.
class RandomGame {
public:
    explicit RandomGame(unsigned seed) : rng_(seed) {}

    std::string Next()
    {
        if (!started_) {
            started_ = true;
            return NewGame();
        }
        const int roll = Pick(100);
        const int seat = Pick(6);
        const std::string name = Names[Pick(3)];
        if (roll < 2)
            return NewGame();
        if (roll < 30)
            return Draw(name);
        if (roll < 42 && !field_.empty()) {
            hands_[seat].push_back(field_.back());
            field_.pop_back();
            return "/B2T " + std::to_string(seat) + " " + name;
        }
        if (roll < 50 && !hands_[seat].empty()) {
            pile_.push_back(hands_[seat].back());
            hands_[seat].pop_back();
            return "/T2Y " + std::to_string(seat) + " " + name;
        }
        if (roll < 55 && !field_.empty()) {
            pile_.push_back(field_.back());
            field_.pop_back();
            return "/B2Y";
        }
        if (roll < 68)
            return "/take " + std::to_string(seat) + " " + name;
        if (roll < 74)
            return (Pick(2) ? "/leave " : "/fleav ") + std::to_string(seat);
        if (roll < 82)
            return "/set " + name + " " + std::to_string(Pick(200));
        if (roll < 95)
            return "/hit " + name + " 2003/05/17 21:04:09";
        consistent_ = false;
        const std::string offTable[] = {"/B2T 7 " + name, "/T2Y 9 " + name, "/leave 8", "/B2Y", "/take 6 " + name,
                                        "/draw " + name + " " + Two(1 + Pick(54))};
        return offTable[Pick(6)];
    }

    // Every command since the last new game came from the deal above.
    bool Consistent() const { return consistent_; }

private:
    std::string NewGame()
    {
        pile_.resize(54);
        std::iota(pile_.begin(), pile_.end(), 1);
        std::shuffle(pile_.begin(), pile_.end(), rng_);
        field_.clear();
        for (auto& hand : hands_)
            hand.clear();
        consistent_ = true;
        return "/init";
    }

    std::string Draw(const std::string& name)
    {
        if (field_.size() >= 12)
            return "/set " + name + " 10";
        if (pile_.empty())
            return "/draw " + name + " 999";
        field_.push_back(pile_.back());
        pile_.pop_back();
        return "/draw " + name + " " + Two(field_.back());
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    static inline const std::string Names[] = {"KENJ    ", "AB      ", "TARO    "};
    std::mt19937 rng_;
    std::vector<int> pile_, field_;
    std::array<std::vector<int>, 6> hands_;
    bool started_ = false;
    bool consistent_ = false;
};

// What a level-2 server sends to rebuild the table from an empty one.
std::vector<std::string> Rebuild(const TTableState& table)
{
    std::vector<std::string> block{"/init"};
    for (int s = 0; s < 6; ++s)
        if (table.Occupants[s] && !table.Occupants[s]->empty())
            block.push_back("/take " + std::to_string(s) + " " + *table.Occupants[s]);
    // The hands hold cards the field no longer shows; any card will do for a count.
    for (int s = 0; s < 6; ++s)
        for (int i = 0; i < table.Hands[s]; ++i) {
            const std::string occupant = table.Occupants[s].value_or("");
            block.push_back("/draw " + occupant + std::string(8 - occupant.size(), ' ') + " 01");
            block.push_back("/B2T " + std::to_string(s) + " " + occupant);
        }
    for (const TFieldCard& card : table.Field)
        block.push_back("/draw " + card.Drawer + " " + card.Number);
    if (table.Target)
        block.push_back("/set " + table.Setter + " " + *table.Target);
    return block;
}

void ExpectRendered(const TForm1& w, const TTableState& table)
{
    EXPECT_EQ(w.Panel2->isVisibleTo(w.Panel1), table.Shown);
    EXPECT_EQ(w.lblYamafuda->text(), table.Pile ? QString::number(*table.Pile) : QStringLiteral("山札"));
    EXPECT_EQ(w.BafudaCount, static_cast<int>(table.Field.size()));
    for (std::size_t i = 0; i < 12; ++i) {
        const bool filled = i < table.Field.size();
        EXPECT_EQ(w.lblCards[i]->text(), filled ? Cp932::Decode(table.Field[i].Drawer) : QString()) << i;
        EXPECT_EQ(w.Images[i]->pixmap().isNull(), !filled) << i;
    }
    for (std::size_t s = 0; s < 6; ++s) {
        EXPECT_EQ(w.lblTNames[s]->text(),
                  table.Occupants[s] ? Cp932::Decode(*table.Occupants[s]) : QStringLiteral("空き"));
        EXPECT_EQ(w.lblTables[s]->text(), QString::number(table.Hands[s]));
    }
    EXPECT_EQ(w.lblMokuteki->text(), table.Target ? Cp932::Decode(*table.Target) : QStringLiteral("目的数"));
    EXPECT_EQ(w.lblMName->text(), Cp932::Decode(table.Setter));
}

}  // namespace

void PrintTo(const TTableState& table, std::ostream* out)
{
    *out << "pile " << (table.Pile ? std::to_string(*table.Pile) : "?") << ", field";
    for (const TFieldCard& card : table.Field)
        *out << " " << card.Number << "/" << card.Drawer;
    *out << ", seats";
    for (std::size_t s = 0; s < 6; ++s)
        *out << " [" << table.Occupants[s].value_or("?") << " " << table.Hands[s] << "]";
    *out << ", target " << table.Target.value_or("(none)") << " by " << table.Setter;
}

TEST(TableModel, ARandomGameGivesTheSameTableInAModelAndAWindowAndARebuildReproducesIt)
{
    test::ReportRecorder reports;
    Player player;
    TForm1& w = *player.window;
    int rebuilds = 0;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        RandomGame game(seed);
        TTableModel model;
        for (int step = 0; step < 400; ++step) {
            const std::string command = game.Next();
            model.Apply(command);
            const std::string packet = Nul(command);
            w.pcsPacketArrived(nullptr, nullptr, packet.data(), static_cast<int>(packet.size()));
            const TTableState& table = model.Table();
            ASSERT_EQ(w.Table.Table(), table) << "seed " << seed << " step " << step << ": " << command;
            ASSERT_LE(table.Field.size(), 12u);
            if (step % 25 == 0)
                ExpectRendered(w, table);
            if (!game.Consistent())
                continue;
            const int hands = std::accumulate(table.Hands.begin(), table.Hands.end(), 0);
            ASSERT_EQ(*table.Pile + static_cast<int>(table.Field.size()) + hands, 54) << command;
            TTableModel joiner;
            for (const std::string& rebuilt : Rebuild(table))
                joiner.Apply(rebuilt);
            ASSERT_EQ(joiner.Table(), table) << "seed " << seed << " step " << step;
            ++rebuilds;
        }
    }
    EXPECT_GT(rebuilds, 400) << "the game stays consistent long enough to be rebuilt often";
    EXPECT_TRUE(reports.reports.empty());
}

TEST(TableModel, ASeatThatIsNoDigitFailsAfterTheChangesMadeBeforeItWasRead)
{
    TTableModel model;
    model.Apply("/init");
    model.Apply("/draw AB       05");
    model.Apply("/draw AB       06");
    EXPECT_THROW(model.Apply("/take x AB      "), EConvertError);
    EXPECT_THROW(model.Apply("/fleav "), EConvertError);
    EXPECT_THROW(model.Apply("/B2T ? AB      "), EConvertError);
    EXPECT_THROW(model.Apply("/T2Y - AB      "), EConvertError);
    const TTableState& table = model.Table();
    EXPECT_EQ(table.Field.size(), 1u) << "the field card was taken before the seat was read";
    EXPECT_EQ(table.Pile, 53) << "52 after two draws, raised before the seat was read";
    EXPECT_EQ(table.Hands, (std::array<int, 6>{}));
    EXPECT_EQ(table.Occupants[0], "");
}

TEST(TableModel, OwnSeatsAreClaimedByNameAndClearedByANewGame)
{
    TTableModel model;
    model.Apply("/init");
    model.Apply("/take 1 KENJ    ");
    model.Apply("/take 4 KENJ    ");
    model.Apply("/take 2 KENJI   ");
    model.ClaimSeatsOf("KENJ    ");
    EXPECT_TRUE(model.OwnsSeat(1) && model.OwnsSeat(4));
    EXPECT_FALSE(model.OwnsSeat(2) || model.OwnsSeat(0));
    model.Apply("/leave 1");
    EXPECT_TRUE(model.OwnsSeat(1)) << "another client's leave never changes this client's own seats";
    model.Apply("/init");
    for (int s = 0; s < 6; ++s)
        EXPECT_FALSE(model.OwnsSeat(s));
}

TEST(TableModel, AwayMarksFollowTheNamesAndLeaveWithTheRosterEntry)
{
    TTableModel model;
    model.SetAway("KENJ    ", true);
    model.SetAway("TARO    ", true);
    model.KeepAwayIn({"KENJ    ", "AB      "});
    EXPECT_TRUE(model.IsAway("KENJ    "));
    EXPECT_FALSE(model.IsAway("TARO    ")) << "no longer in the roster";
    model.SetAway("KENJ    ", false);
    EXPECT_FALSE(model.IsAway("KENJ    "));
}

// A player back in a new connection within the grace stands in the roster
// twice: its old entry away, the new one not, which holds the seats.
TEST(TableModel, AwayMarksBelongToRosterEntriesNotNames)
{
    TTableModel model;
    model.KeepAwayIn({"TARO    ", "HANA    "});
    model.SetAway("TARO    ", true);
    EXPECT_TRUE(model.IsAway("TARO    "));
    model.KeepAwayIn({"TARO    ", "HANA    ", "TARO    "});
    EXPECT_FALSE(model.IsAway("TARO    ")) << "the new connection holds the seats";
    EXPECT_TRUE(model.IsAwayEntry(0));
    EXPECT_FALSE(model.IsAwayEntry(1));
    EXPECT_FALSE(model.IsAwayEntry(2));
    model.KeepAwayIn({"HANA    ", "TARO    "});
    EXPECT_FALSE(model.IsAwayEntry(1)) << "the entry whose grace ended took the mark with it";
    EXPECT_FALSE(model.IsAway("TARO    "));
    model.SetAway("TARO    ", true);
    EXPECT_TRUE(model.IsAway("TARO    "));
}

TEST(TableModel, AJudgementHoldsUntilTheFieldOrTargetChangesAndShowsItsExpressionWhenAsked)
{
    TTableModel model;
    model.Apply("/init");
    model.Apply("/draw AB       03");
    EXPECT_FALSE(model.ApplyJudgement("/judge KENJ     X 1 "));
    EXPECT_FALSE(model.ApplyJudgement("/judge KENJ     Y 2 3"));
    EXPECT_FALSE(model.ApplyJudgement("/judge KENJ"));
    EXPECT_FALSE(model.Judgement());

    ASSERT_TRUE(model.ApplyJudgement("/judge KENJ     Y 1 (13-1)*2"));
    TJudgement expected{"KENJ    ", TJudgement::TVerdict::Reachable, true, "(13-1)*2", false};
    EXPECT_EQ(*model.Judgement(), expected);
    model.ChatLine(Cp932::FromUtf8("【判定】AB       1+2 = 3 正解"));
    EXPECT_FALSE(model.Judgement()->ExpressionShown) << "another hitter's answer";
    model.ChatLine(Cp932::FromUtf8("【判定】KENJ     3*8 = 24 正解"));
    EXPECT_TRUE(model.Judgement()->ExpressionShown);

    ASSERT_TRUE(model.ApplyJudgement("/judge AB       N 0 ignored"));
    EXPECT_EQ(model.Judgement()->Expression, "") << "an expression only comes with a reachable target";
    EXPECT_FALSE(model.Judgement()->First);
    model.ShowExpression();
    EXPECT_TRUE(model.Judgement()->ExpressionShown);

    for (const char* change : {"/draw AB       04", "/B2Y", "/set AB       10", "/init"}) {
        ASSERT_TRUE(model.ApplyJudgement("/judge AB       ? 0 "));
        model.Apply(change);
        EXPECT_FALSE(model.Judgement()) << change;
    }
    ASSERT_TRUE(model.ApplyJudgement("/judge AB       ? 0 "));
    model.Apply("/take 1 AB      ");
    model.Apply("/hit AB       2003/05/17 21:04:09");
    EXPECT_TRUE(model.Judgement()) << "seats and hits change neither field nor target";
}

TEST(Reconnector, WaitsOneTwoFourEightSixteenThenThirtySecondsUntilTheGracePeriodIsOver)
{
    TReconnector reconnector;
    reconnector.UseManualClock();
    std::vector<int> attemptsAt;
    int now = 0;
    reconnector.OnAttempt = [&] { attemptsAt.push_back(now); };
    auto advance = [&](int ms) {
        for (int i = 0; i < ms / 100; ++i) {
            now += 100;
            reconnector.Advance(100);
            if (attemptsAt.size() && attemptsAt.back() == now)
                reconnector.AttemptFailed();
        }
    };
    reconnector.Start(100);
    advance(200000);
    EXPECT_EQ(attemptsAt, (std::vector<int>{1000, 3000, 7000, 15000, 31000, 61000, 91000}));
    EXPECT_FALSE(reconnector.Active());
    EXPECT_TRUE(reconnector.GaveUp()) << "121 s would be past the 100 s grace period";

    // Grace 0: no end. Stop ends the waiting at once.
    attemptsAt.clear();
    now = 0;
    reconnector.Start(0);
    EXPECT_FALSE(reconnector.GaveUp());
    advance(400000);
    EXPECT_EQ(attemptsAt.size(), 5u + (400000 - 31000) / 30000);
    EXPECT_TRUE(reconnector.Waiting());
    EXPECT_EQ(reconnector.WaitSeconds(), 30);
    reconnector.Stop();
    const std::size_t made = attemptsAt.size();
    advance(100000);
    EXPECT_EQ(attemptsAt.size(), made);
    EXPECT_FALSE(reconnector.Active());
}
