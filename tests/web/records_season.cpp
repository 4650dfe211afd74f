// A season of recorded games for the records pages' browser test: whole
// dealt games played by computer players on the real server's tables, where
// some seats are then given to registered people (each playing at one bot
// level of its own, so that the ratings come apart) and the watching seat to
// a guest, written through the real store into kivol.db in a state folder.
//
//   kivol_records_season STATE_DIR        writes the season into STATE_DIR/kivol.db
//   kivol_records_season --json FILE      writes a few such games (with their events) as a JSON array
#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "records/record_json.h"
#include "records/sqlite_record_store.h"
#include "simulation/bot_games.h"

using namespace Records;

namespace {

struct TPerson {
    const char* Name;  // code page 932
    int Level;         // the bot level it plays at
};

// "花子" in code page 932 among the ASCII names.
const TPerson People[] = {{"Taro", 5}, {"hana", 4}, {"jiro", 3}, {"\x89\xd4\x8e\x71", 2}, {"kei", 1}};
constexpr int SeasonGames = 90;
constexpr int FixtureGames = 4;
constexpr auto Between = std::chrono::minutes(20);

// The game of the given number: two people and one bot at a table, in a
// seeded order; the person seated by the simulation becomes the guest.
TGameRecord SeasonGame(int number, TTime start)
{
    std::mt19937 random(static_cast<std::uint32_t>(number) * 7919u + 1u);
    const std::size_t first = random() % std::size(People);
    const std::size_t second = (first + 1 + random() % (std::size(People) - 1)) % std::size(People);
    const int botLevel = 1 + static_cast<int>(random() % 5);
    const TPerson* seated[] = {&People[first], &People[second]};
    TGameRecord game;
    Simulation::PlayBotGames({.Levels = {seated[0]->Level, seated[1]->Level, botLevel}, .Pace = 2, .Answer = 20,
                              .Target = {}},
                             1, static_cast<std::uint32_t>(number), [&](const TGameRecord& record) { game = record; });
    std::map<AnsiString, AnsiString> renamed;
    std::vector<TGamePlayer*> bots;
    for (TGamePlayer& player : game.Players)
        if (player.IsBot())
            bots.push_back(&player);
        else
            renamed[player.Name] = "guest";
    std::sort(bots.begin(), bots.end(), [](const TGamePlayer* a, const TGamePlayer* b) { return a->Seat < b->Seat; });
    for (std::size_t i = 0; i < std::size(seated) && i < bots.size(); ++i) {
        renamed[bots[i]->Name] = seated[i]->Name;
        bots[i]->BotLevel = 0;
        bots[i]->Registered = true;
    }
    for (TGamePlayer& player : game.Players)
        if (renamed.contains(player.Name))
            player.Name = renamed[player.Name];
    for (TGameEvent& event : game.Events)
        if (renamed.contains(event.Player))
            event.Player = renamed[event.Player];
    game.Table = "season";
    game.Host = game.Players.front().Name;
    const auto length = game.End - game.Start;
    game.Start = start;
    game.End = start + length;
    return game;
}

int WriteFixture(const QString& path)
{
    const TTime start = TimeOfMilliseconds(1765000000000);
    std::string json = "[\n";
    for (int i = 0; i < FixtureGames; ++i) {
        TGameRecord game = SeasonGame(i, start + i * Between);
        game.Id = i + 1;
        json += GameJson(game, true) + (i + 1 < FixtureGames ? ",\n" : "\n");
    }
    json += "]\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(json.data(), static_cast<qint64>(json.size())) != static_cast<qint64>(json.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

int WriteSeason(const QString& directory)
{
    QString error;
    auto store = OpenSqliteRecordStore(directory, [](const AnsiString& line) { std::fprintf(stderr, "%s\n", line.c_str()); },
                                       error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (const TPerson& person : People)
        if (store->Register(person.Name).Refusal != TRegistration::ERefusal::None) {
            std::fprintf(stderr, "cannot register %s\n", person.Name);
            return 1;
        }
    // The season ends about now, so that no rating has widened with idle days.
    const TTime start = std::chrono::system_clock::now() - SeasonGames * Between;
    for (int i = 0; i < SeasonGames; ++i)
        if (!store->AddGame(SeasonGame(i, start + i * Between))) {
            std::fprintf(stderr, "the store's queue is full\n");
            return 1;
        }
    // A backup is queued behind every write before it: when it is done, the season is in the database.
    std::promise<QString> backedUp;
    const QString copy = directory + QStringLiteral("/season-written.db");
    store->Backup(copy, [&backedUp](const QString& failure) { backedUp.set_value(failure); });
    auto done = backedUp.get_future();
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "the season was not written within a minute\n");
        return 1;
    }
    if (const QString failure = done.get(); !failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return 1;
    }
    QFile::remove(copy);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 3 && arguments[1] == QLatin1String("--json"))
        return WriteFixture(arguments[2]);
    if (arguments.size() == 2)
        return WriteSeason(arguments[1]);
    std::fprintf(stderr, "usage: kivol_records_season STATE_DIR | --json FILE\n");
    return 2;
}
