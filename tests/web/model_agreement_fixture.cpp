// kivol_web_fixture: plays a seeded game of about a thousand steps through the
// desktop client's table model and writes every step with the model's state
// as JSON, for the browser's model to replay and compare (web/ tests).
//
//   kivol_web_fixture OUTPUT.json
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/cp932.h"
#include "protocol/command_words.h"
#include "protocol/padded_name.h"
#include "protocol/roster_text.h"
#include "tests/web/desktop_stand_in.h"

using namespace Protocol;

namespace {

constexpr int Steps = 1000;
constexpr unsigned Seed = 20261208;

std::string Json(std::string_view utf8)
{
    std::string out = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Text(std::string_view bytes)
{
    return Json(Cp932::ToUtf8(bytes));
}

std::string OptionalText(const std::optional<AnsiString>& bytes)
{
    return bytes ? Text(*bytes) : "null";
}

template <typename T, typename F>
std::string Array(const T& items, F&& write)
{
    std::string out = "[";
    for (const auto& item : items)
        out += (out.size() > 1 ? "," : "") + write(item);
    return out + "]";
}

std::string State(const TDesktopStandIn& desktop)
{
    const TTableModel& model = desktop.Model();
    const TTableState& t = model.Table();
    std::string away;
    for (std::size_t i = 0; i < desktop.Roster().size(); ++i)
        if (model.IsAwayEntry(i))
            away += (away.empty() ? "" : ",") + Text(desktop.Roster()[i]);
    std::string awaySeats;
    for (const auto& occupant : t.Occupants)
        awaySeats += std::string(awaySeats.empty() ? "" : ",") +
                     (occupant && !occupant->empty() && model.IsAway(*occupant) ? "true" : "false");
    std::string judgement = "null";
    if (const auto& j = model.Judgement()) {
        const char* verdict = j->Verdict == TJudgement::TVerdict::Reachable     ? "Y"
                              : j->Verdict == TJudgement::TVerdict::Unreachable ? "N"
                                                                                : "?";
        judgement = "{\"hitter\":" + Text(j->Hitter) + ",\"verdict\":\"" + verdict +
                    "\",\"first\":" + (j->First ? "true" : "false") + ",\"expression\":" + Text(j->Expression) +
                    ",\"expressionShown\":" + (j->ExpressionShown ? "true" : "false") + "}";
    }
    std::vector<int> seats{0, 1, 2, 3, 4, 5};
    return "{\"shown\":" + std::string(t.Shown ? "true" : "false") +
           ",\"pile\":" + (t.Pile ? std::to_string(*t.Pile) : "null") +
           ",\"field\":" + Array(t.Field, [](const TFieldCard& c) { return "[" + Text(c.Number) + "," + Text(c.Drawer) + "]"; }) +
           ",\"occupants\":" + Array(t.Occupants, OptionalText) +
           ",\"hands\":" + Array(t.Hands, [](int n) { return std::to_string(n); }) +
           ",\"target\":" + OptionalText(t.Target) + ",\"setter\":" + Text(t.Setter) +
           ",\"own\":" + Array(seats, [&](int s) { return std::string(model.OwnsSeat(s) ? "true" : "false"); }) +
           ",\"hit\":" + (model.HitShown() ? "true" : "false") + ",\"roster\":" + Array(desktop.Roster(), Text) +
           ",\"away\":[" + away + "],\"awaySeats\":[" + awaySeats + "],\"judgement\":" + judgement + ",\"level2\":" + (desktop.Level2() ? "true" : "false") +
           ",\"token\":" + Json(desktop.Token()) + "}";
}

// The players at the table; the first is the client's own.
const std::vector<AnsiString> Players = {
    PaddedName(Cp932::FromUtf8("太郎")), PaddedName("alice"), PaddedName(Cp932::FromUtf8("ﾊﾅｺ")),
    PaddedName(Cp932::FromUtf8("花子～①")), PaddedName("Bob Lee"),
};

class TScenario {
public:
    explicit TScenario(std::FILE* out) : out_(out), desktop_(Players[0]) {}

    void Run()
    {
        std::fputs("[\n", out_);
        Receive("/list " + RosterText(Players));
        while (steps_ < Steps) {
            // A few steps before the first game, as after connecting to a server that has had none.
            if (steps_ == 15)
                Receive("/init");
            Step();
        }
        std::fputs("\n]\n", out_);
    }

private:
    unsigned Pick(unsigned n) { return static_cast<unsigned>(random_() % n); }
    const AnsiString& Someone() { return Players[Pick(static_cast<unsigned>(Players.size()))]; }
    std::string Seat() { return std::to_string(Pick(10) < 9 ? Pick(6) : 6 + Pick(4)); }
    std::string Card() { const unsigned n = 1 + Pick(54); return (n < 10 ? "0" : "") + std::to_string(n); }

    void Write(const std::string& step, bool ok)
    {
        std::fprintf(out_, "%s{%s,\"error\":%s,\"state\":%s}", steps_ ? ",\n" : "", step.c_str(), ok ? "false" : "true",
                     State(desktop_).c_str());
        ++steps_;
    }

    void Receive(const AnsiString& text) { Write("\"receive\":" + Text(text), desktop_.Receive(text)); }

    void Act(const std::string& act, int seat, const TDesktopStandIn::TOutcome& outcome)
    {
        Write("\"act\":\"" + act + "\",\"seat\":" + std::to_string(seat) + ",\"sent\":" + Array(outcome.Sent, Text) +
                  ",\"refusal\":" + Json(outcome.Refusal),
              true);
    }

    // What a level-2 server sends a joiner: the table rebuilt from an empty one.
    void SyncBlock()
    {
        static const char Hex[] = "0123456789abcdef";
        std::string token;
        for (int i = 0; i < 32; ++i)
            token += Hex[Pick(16)];
        const TTableState table = desktop_.Model().Table();
        Receive("/state begin " + token + " " + std::to_string(Pick(3) * 60));
        if (table.Shown) {
            Receive("/init");
            for (int s = 0; s < 6; ++s)
                if (!table.Occupants[s]->empty())
                    Receive("/take " + std::to_string(s) + " " + *table.Occupants[s]);
            for (int s = 0; s < 6; ++s)
                for (int n = 0; n < table.Hands[s]; ++n) {
                    const AnsiString occupant = table.Occupants[s]->empty() ? AnsiString(8, ' ') : *table.Occupants[s];
                    Receive("/draw " + occupant + " " + Card());
                    Receive("/B2T " + std::to_string(s) + " " + occupant);
                }
            for (const TFieldCard& card : table.Field)
                Receive("/draw " + card.Drawer + " " + card.Number);
            if (table.Target)
                Receive("/set " + table.Setter + " " + *table.Target);
        }
        Receive("/state end");
    }

    // A roster of the first players, now and then with one name twice (a
    // player back in a new connection while its old entry is away).
    void Roster()
    {
        std::vector<AnsiString> roster(Players.begin(), Players.begin() + 1 + Pick(5));
        if (Pick(3) == 0)
            roster.push_back(roster[Pick(static_cast<unsigned>(roster.size()))]);
        Receive("/list " + RosterText(roster));
    }

    void Judge()
    {
        const AnsiString& hitter = Someone();
        switch (Pick(5)) {
        case 0: Receive("/judge " + hitter + " Y " + std::to_string(Pick(2)) + " (1+2)*3-4/5"); break;
        case 1: Receive("/judge " + hitter + " N " + std::to_string(Pick(2)) + " "); break;
        case 2: Receive("/judge " + hitter + " ? 1 "); break;
        case 3: Receive("/judge " + hitter + " X 1 "); break;
        default:
            Receive(Cp932::FromUtf8("【判定】") + hitter + " 1+2 = 3" + Cp932::FromUtf8(" 正解"));
        }
    }

    void Step()
    {
        const AnsiString& who = Someone();
        const int seat = static_cast<int>(Pick(6));
        switch (Pick(32)) {
        case 0: if (Pick(4) == 0) Receive("/init"); break;
        case 1: case 2: Receive("/take " + Seat() + " " + who); break;
        case 3: Receive("/leave " + Seat()); break;
        case 4: Receive("/fleav " + Seat()); break;
        case 5: case 6: case 7: Receive("/draw " + who + " " + (Pick(12) == 0 ? std::string("999") : Card())); break;
        case 8: case 9: Receive("/B2T " + Seat() + " " + who); break;
        case 10: Receive("/T2Y " + Seat() + " " + who); break;
        case 11: Receive("/B2Y"); break;
        case 12: Receive("/hit " + who + " 2026/12/08 18:" + std::to_string(10 + Pick(50)) + ":00"); break;
        case 13: Receive("/set " + who + " " + (Pick(3) ? std::to_string(Pick(40)) : Cp932::FromUtf8(" 二十四 "))); break;
        case 14: Receive(Pick(2) ? "/away " + who : "/back " + who); break;
        case 15: case 16: Judge(); break;
        case 17: Receive(who + ": " + Cp932::FromUtf8("こんにちは")); break;
        case 18: Roster(); break;
        case 19: if (Pick(3) == 0) SyncBlock(); break;
        case 20: Receive(Pick(2) ? "/take x " + who : "/B2T z " + who); break;
        case 21: case 22: Act("take", seat, desktop_.Take(seat)); break;
        case 23: Act("fieldToHand", seat, desktop_.FieldToHand(seat)); break;
        case 24: Act("handToPile", seat, desktop_.HandToPile(seat)); break;
        case 25: Act("fieldToPile", 0, desktop_.FieldToPile()); break;
        case 26: Act("draw", 0, desktop_.Draw()); break;
        case 27: desktop_.ShowExpression(); Act("showExpression", 0, {}); break;
        case 28: desktop_.EndHit(); Act("endHit", 0, {}); break;
        case 29: if (Pick(6) == 0) Act("leave", 0, desktop_.Leave()); break;
        case 30: if (Pick(6) == 0) { desktop_.StartOver(); Act("startOver", 0, {}); SyncBlock(); } break;
        default: Receive(Pick(2) ? "/hele" : "/state begin nothex 5"); break;
        }
    }

    std::FILE* out_;
    TDesktopStandIn desktop_;
    std::mt19937 random_{Seed};
    int steps_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kivol_web_fixture OUTPUT.json\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    TScenario(out).Run();
    return std::fclose(out) == 0 ? 0 : 1;
}
