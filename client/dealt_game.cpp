// The "/game" lines read into the client's picture of a dealt game, and the
// "/deal" texts that start and stop one.
#include "client/dealt_game.h"

#include <algorithm>

#include "protocol/command_words.h"
#include "protocol/padded_name.h"

using namespace Protocol;

namespace {

// The longest number read from a "/game" line.
constexpr std::size_t MaxDigits = 6;

std::optional<int> Number(std::string_view text)
{
    if (text.empty() || text.size() > MaxDigits ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int value = 0;
    for (char c : text)
        value = value * 10 + (c - '0');
    return value;
}

// The text's words, split at single spaces.
std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    for (std::size_t start = 0;;) {
        const std::size_t space = text.find(' ', start);
        words.push_back(text.substr(start, space == std::string_view::npos ? space : space - start));
        if (space == std::string_view::npos)
            return words;
        start = space + 1;
    }
}

// A padded name opening the text and what follows its space; false when the
// text is too short or no space follows the name.
bool ReadName(std::string_view text, AnsiString& name, std::string_view& rest)
{
    if (text.size() < static_cast<std::size_t>(PaddedNameLength) + 1 || text[PaddedNameLength] != ' ')
        return false;
    name = AnsiString(text.substr(0, PaddedNameLength));
    rest = text.substr(PaddedNameLength + 1);
    return true;
}

std::optional<TGamePenalty::TWhy> Why(std::string_view text)
{
    if (text == "wrong")
        return TGamePenalty::TWhy::Wrong;
    if (text == "answer")
        return TGamePenalty::TWhy::Answer;
    if (text == "time")
        return TGamePenalty::TWhy::Time;
    return std::nullopt;
}

// The line's own word after "/game " and what follows its space.
bool Subword(std::string_view text, std::string_view word, std::string_view& rest)
{
    const std::size_t opening = Command::Game.size() + 1 + word.size() + 1;
    if (text.size() < opening || text.substr(Command::Game.size() + 1, word.size()) != word ||
        text[Command::Game.size()] != ' ' || text[opening - 1] != ' ')
        return false;
    rest = text.substr(opening);
    return true;
}

}  // namespace

AnsiString TDealOptions::FieldsText() const
{
    const std::string target = Target ? std::to_string(*Target) : "random";
    return " TARGET=" + target + " PACE=" + std::to_string(Pace) + " ANSWER=" + std::to_string(Answer) +
           " BOTS=" + std::to_string(Bots) + " LEVEL=" + std::to_string(Level);
}

AnsiString DealStartText(const AnsiString& paddedName, const TDealOptions& options)
{
    return AnsiString(Command::Deal) + " " + paddedName + " start" + options.FieldsText();
}

AnsiString DealStopText(const AnsiString& paddedName)
{
    return AnsiString(Command::Deal) + " " + paddedName + " stop";
}

std::optional<TDealtGame::TEvent> TDealtGame::Apply(std::string_view text, TClock::time_point now)
{
    if (!IsCommand(text, Command::Game))
        return std::nullopt;
    std::string_view rest;
    AnsiString name;
    std::string_view after;
    if (Subword(text, "start", rest)) {
        if (!StartOrState(rest, false))
            return std::nullopt;
        return TEvent::Started;
    }
    if (Subword(text, "state", rest)) {
        if (!StartOrState(rest, true))
            return std::nullopt;
        return TEvent::Round;
    }
    if (Subword(text, "bot", rest) && ReadName(rest, name, after)) {
        const std::optional<int> level = Number(after);
        if (!level)
            return std::nullopt;
        bots_[name] = *level;
        options_.Bots = static_cast<int>(bots_.size());
        options_.Level = *level;
        return TEvent::Bot;
    }
    if (Subword(text, "round", rest)) {
        const std::optional<int> round = Number(rest);
        if (!round)
            return std::nullopt;
        round_ = *round;
        hitter_.clear();
        return TEvent::Round;
    }
    if (Subword(text, "answer", rest) && ReadName(rest, name, after)) {
        const std::optional<int> seconds = Number(after);
        if (!seconds)
            return std::nullopt;
        hitter_ = name;
        deadline_ = now + std::chrono::seconds(*seconds);
        return TEvent::AnswerOpened;
    }
    if (Subword(text, "take", rest) && ReadName(rest, name, after)) {
        const std::optional<int> cards = Number(after);
        if (!cards)
            return std::nullopt;
        lastTake_ = std::pair(name, *cards);
        hitter_.clear();
        return TEvent::Took;
    }
    if (Subword(text, "penalty", rest) && ReadName(rest, name, after)) {
        const std::optional<TGamePenalty::TWhy> why = Why(after);
        if (!why)
            return std::nullopt;
        lastPenalty_ = TGamePenalty{name, *why};
        penalties_.push_back(*lastPenalty_);
        if (name == hitter_)
            hitter_.clear();
        return TEvent::Penalised;
    }
    if (Subword(text, "result", rest)) {
        const std::vector<std::string_view> words = Words(rest);
        const std::optional<int> place = words.size() >= 3 ? Number(words[0]) : std::nullopt;
        const std::optional<int> cards = words.size() >= 3 ? Number(words[1]) : std::nullopt;
        if (!place || !cards)
            return std::nullopt;
        const std::size_t nameAt = words[0].size() + words[1].size() + 2;
        standings_.push_back({*place, *cards, PaddedName(rest.substr(nameAt))});
        return TEvent::Result;
    }
    if (Subword(text, "end", rest)) {
        running_ = false;
        hitter_.clear();
        endReason_ = AnsiString(rest);
        return TEvent::Ended;
    }
    if (Subword(text, "refused", rest)) {
        refusal_ = AnsiString(rest);
        return TEvent::Refused;
    }
    return std::nullopt;
}

bool TDealtGame::StartOrState(std::string_view fields, bool withRound)
{
    AnsiString host;
    std::string_view after;
    if (!ReadName(fields, host, after))
        return false;
    const std::vector<std::string_view> words = Words(after);
    if (words.size() != (withRound ? 4u : 3u))
        return false;
    const std::optional<int> target = Number(words[0]);
    const std::optional<int> pace = Number(words[1]);
    const std::optional<int> answer = Number(words[2]);
    const std::optional<int> round = withRound ? Number(words[3]) : std::optional<int>(0);
    if ((!target && words[0] != "random") || !pace || !answer || !round)
        return false;
    Begin();
    host_ = host;
    options_.Target = target;
    options_.Pace = *pace;
    options_.Answer = *answer;
    round_ = *round;
    return true;
}

void TDealtGame::Begin()
{
    const AnsiString refusal = refusal_;
    Clear();
    refusal_ = refusal;
    running_ = true;
    options_.Bots = 0;
}

std::optional<AnsiString> TDealtGame::Hitter() const
{
    if (hitter_.empty())
        return std::nullopt;
    return hitter_;
}

int TDealtGame::SecondsLeft(TClock::time_point now) const
{
    if (hitter_.empty() || now >= deadline_)
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::seconds>(deadline_ - now).count());
}

bool TDealtGame::MayStop(const AnsiString& paddedName, const TTableState& table,
                         const std::vector<AnsiString>& roster) const
{
    const auto seated = [&](const AnsiString& name) {
        return std::find(table.Occupants.begin(), table.Occupants.end(), name) != table.Occupants.end();
    };
    const bool hostHere = std::find(roster.begin(), roster.end(), host_) != roster.end();
    return running_ && seated(paddedName) && (paddedName == host_ || !hostHere);
}

std::array<int, TTableState::SeatCount> SeatPlaces(const TTableState& table)
{
    std::array<int, TTableState::SeatCount> places{};
    const auto occupied = [&](std::size_t s) { return table.Occupants[s] && !table.Occupants[s]->empty(); };
    for (std::size_t s = 0; s < places.size(); ++s) {
        if (!occupied(s))
            continue;
        places[s] = 1;
        for (std::size_t other = 0; other < places.size(); ++other)
            if (occupied(other) && table.Hands[other] > table.Hands[s])
                ++places[s];
    }
    return places;
}
