// The browser's side of the records: the replay of recorded games (played
// by the real server's computer players, kivol_records_season writes them)
// reaches the recorded standings and keeps every card somewhere at every
// step; the keys of registered names; the join's and the answer's texts; the
// rating chart's box; the pages' addresses.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import test from "node:test";

import { encode } from "../../web/src/cp932.js";
import { KeyStorage, NameKeys, readKey } from "../../web/src/name_keys.js";
import { announcementText, readNameKey } from "../../web/src/protocol.js";
import { ChartHeight, ChartWidth, chartShape } from "../../web/src/rating_chart.js";
import { RecordedGame, gamesOfNdjson, recordsRoute } from "../../web/src/records.js";
import { Replay } from "../../web/src/replay.js";

const games: RecordedGame[] = JSON.parse(readFileSync(process.env.KIVOL_RECORDED_GAMES ?? "", "utf8"));

function cardsOnTable(replay: Replay): number {
    const t = replay.table.table;
    return (t.pile ?? 0) + t.field.length + t.hands.reduce((a, b) => a + b, 0);
}

test("every recorded game replays to its recorded standings, no card lost on the way, and back undoes a step", () => {
    assert.ok(games.length >= 3);
    for (const game of games) {
        const replay = new Replay(game);
        const standingsAt: string[] = [JSON.stringify(replay.standings())];
        while (replay.step()) {
            assert.equal(cardsOnTable(replay), 54, `game ${game.id} at event ${replay.position}`);
            standingsAt.push(JSON.stringify(replay.standings()));
        }
        assert.equal(replay.position, replay.length);
        assert.deepEqual(replay.standings(), game.players.map(p => ({ name: p.name, cards: p.cards, place: p.place })),
            `game ${game.id}`);
        // Each seated player's hand on the table is its standing.
        for (const p of game.players)
            assert.equal(replay.table.table.hands[p.seat], p.cards, `game ${game.id}, ${p.name}`);
        for (const at of [replay.length - 1, Math.floor(replay.length / 2), 1]) {
            replay.seek(at + 1);
            assert.ok(replay.back());
            assert.equal(JSON.stringify(replay.standings()), standingsAt[at]);
        }
        replay.seek(0);
        assert.equal(replay.back(), false);
        assert.deepEqual(replay.table.table.field, []);
    }
});

test("a replay forfeits a leaver's hand, seats it again empty, and gives back no card an empty hand lacks", () => {
    const game: RecordedGame = {
        ...games[0], players: [], events: [
            { ms: 0, kind: "join", player: "a", seat: 0 }, { ms: 0, kind: "join", player: "b", seat: 1 },
            { ms: 0, kind: "penalty", player: "b", why: "wrong" },
            { ms: 1, kind: "deal", card: 1, makeable: false }, { ms: 2, kind: "deal", card: 2, makeable: true },
            { ms: 3, kind: "take", player: "a", cards: 2 },
            { ms: 4, kind: "deal", card: 3, makeable: true }, { ms: 5, kind: "take", player: "b", cards: 1 },
            { ms: 6, kind: "leave", player: "a" }, { ms: 7, kind: "join", player: "a", seat: 2 },
            { ms: 8, kind: "deal", card: 4, makeable: false }, { ms: 9, kind: "clear" },
        ],
    };
    const replay = new Replay(game);
    replay.seek(replay.length);
    assert.deepEqual(replay.standings(), [{ name: "b", cards: 1, place: 1 }, { name: "a", cards: 0, place: 2 }]);
    const t = replay.table.table;
    assert.deepEqual(t.hands, [0, 1, 0, 0, 0, 0]);
    assert.equal(t.occupants[0], "");
    assert.equal(t.occupants[2], "a       ");
    assert.equal(t.field.length, 0);
    assert.equal(cardsOnTable(replay), 54);
});

class MemoryStorage implements KeyStorage {
    items = new Map<string, string>();
    full = false;
    getItem(key: string): string | null {
        return this.items.get(key) ?? null;
    }
    setItem(key: string, value: string): void {
        if (this.full)
            throw new Error("QuotaExceededError");
        this.items.set(key, value);
    }
}

test("a name's key is kept per server and found again whatever the name's ASCII letter case", () => {
    const storage = new MemoryStorage();
    const here = new NameKeys(storage, "Example.org:16580");
    const key = "0123456789abcdef0123456789abcdef";
    assert.equal(here.key("Kenj"), undefined);
    assert.ok(here.keep("Kenj", key));
    assert.equal(here.key("kenj"), key);
    assert.equal(here.key("KENJ    "), key);
    assert.equal(new NameKeys(storage, "example.org:16580").key("kenj"), key, "the host's case does not count");
    assert.equal(new NameKeys(storage, "example.org:8080").key("kenj"), undefined, "another server holds its own keys");
    assert.equal(here.key("ＫＥＮＪ"), undefined, "full-width letters are other names");
    assert.ok(here.keep("花子", "f".repeat(32)));
    assert.equal(here.key("kenj"), key, "a second name keeps the first");
    storage.full = true;
    assert.equal(here.keep("taro", key), false);
    storage.items.set("kivol.namekeys", "{not json");
    assert.equal(here.key("kenj"), undefined);
    storage.full = false;
    assert.ok(here.keep("kenj", key), "a broken store is written afresh");
    assert.equal(here.key("kenj"), key);

    assert.equal(readKey("  0123456789ABCDEF0123456789abcdef\n"), key);
    for (const typed of ["", key.slice(1), key + "0", key.replace("a", "g"), `${key.slice(0, 16)} ${key.slice(16)}`])
        assert.equal(readKey(typed), undefined, typed);
});

test("a join carries the name's key after the table's, and the answer to a registration is read whole", () => {
    const key = "0123456789abcdef0123456789abcdef";
    assert.equal(announcementText({ table: "t", key: "k", watch: true, resumeToken: "r".repeat(32), nameKey: key }),
        `KIVOL/2 RESUME=${"r".repeat(32)} TABLE=t KEY=k NAMEKEY=${key} WATCH`);
    assert.equal(announcementText({ table: "", watch: false, nameKey: undefined }), "KIVOL/2");
    const name = encode("花子") + "    ";
    assert.deepEqual(readNameKey(`/namekey ${name} ${key}`), { name, key });
    for (const text of [`/namekey ${name} ${key.toUpperCase()}`, `/namekey ${name}${key}`, `/namekey ${name} ${key}0`,
        `/namekeys${name} ${key}`])
        assert.equal(readNameKey(text), undefined, text);
});

test("the rating chart fits its box, the highest value at the top and the lowest at the bottom", () => {
    const history = [1500, 1420, 1610, 1580].map((rating, i) => ({ game: i + 1, time: "", rating, rd: 300 - 60 * i }));
    const shape = chartShape(history);
    assert.equal(shape.high, 1500 + 300);
    assert.equal(shape.low, 1420 - 240);
    const xs = shape.line.map(p => p.x);
    assert.deepEqual(xs, [...xs].sort((a, b) => a - b));
    for (const p of shape.line) {
        assert.ok(p.x >= 0 && p.x <= ChartWidth && p.y >= 0 && p.y <= ChartHeight, JSON.stringify(p));
    }
    assert.ok(shape.line[2].y < shape.line[1].y, "a higher rating is drawn higher");
    const single = chartShape([{ game: 1, time: "", rating: 1500, rd: 0 }]);
    assert.equal(single.line.length, 1);
    assert.ok(Number.isFinite(single.line[0].y));
});

test("the pages' addresses and the NDJSON of games", () => {
    assert.deepEqual(recordsRoute("/leaderboard"), { page: "leaderboard" });
    assert.deepEqual(recordsRoute(`/p/${encodeURIComponent("花子")}`), { page: "player", name: "花子" });
    assert.deepEqual(recordsRoute("/g/42"), { page: "game", id: 42 });
    for (const path of ["/", "/p/", "/p/a/b", "/p/%E0", "/g/0", "/g/x", "/g/1/2", "/t/x", "/leaderboard/"])
        assert.equal(recordsRoute(path), undefined, path);
    const lines = games.map(g => JSON.stringify({ ...g, events: undefined })).join("\n") + "\n";
    assert.deepEqual(gamesOfNdjson(lines).map(g => g.id), games.map(g => g.id));
    assert.deepEqual(gamesOfNdjson(""), []);
});
