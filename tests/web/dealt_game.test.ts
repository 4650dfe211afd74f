// The browser's model of a dealt game, fed the lines a level-2 server sends:
// a whole game with computer players, an answer's deadline, penalties, tied
// standings; a late joiner's catch-up; what the buttons send; and that the
// example expression is never offered while a game runs.
import assert from "node:assert/strict";
import test from "node:test";

import { decode, encode } from "../../web/src/cp932.js";
import { fieldsProblem } from "../../web/src/dealt_game.js";
import { paddedName } from "../../web/src/protocol.js";
import { TableModel } from "../../web/src/table_model.js";

const me = decode(paddedName(encode("太郎")));
const bot = decode(paddedName(encode("ロボ1")));
const dealer = decode(paddedName(encode("親")));
const token = "b".repeat(32);

/** A model joined at a level-2 server, its clock at the given time (ms). */
function joined(clock: { now: number }): { model: TableModel; feed: (...lines: string[]) => string[] } {
    const model = new TableModel(encode(me), () => clock.now);
    const feed = (...lines: string[]) => lines.flatMap(line => model.receive(encode(line)).map(e => e.kind));
    feed(`/state begin ${token} 120`, "/state end");
    return { model, feed };
}

test("a whole dealt game: start with a bot, an answer's countdown, a take, penalties, tied standings", () => {
    const clock = { now: 1000 };
    const { model, feed } = joined(clock);
    const game = model.game;
    // The player sits, starts; the dealer seats it again at its lowest seat and a bot beside it.
    assert.deepEqual(model.startGame({ target: "random", pace: 1, answer: 20, bots: 1, level: 4 }),
        { send: [encode(`/take 0 ${me}`), encode(`/deal ${me} start TARGET=random PACE=1 ANSWER=20 BOTS=1 LEVEL=4`)] });
    assert.deepEqual(feed(`/take 0 ${me}`, "/init", `/take 0 ${me}`, `/join ${bot}`, `/take 1 ${bot}`,
        `/game start ${me} random 1 20`, `/game bot ${bot} 4`), ["joined", "gameStarted"]);
    assert.ok(game.running && game.host === encode(me) && game.isBot(encode(bot)) && !game.isBot(encode(me)));
    assert.deepEqual(model.own, [true, false, false, false, false, false], "its seat is its own after the /init");
    assert.deepEqual(game.fields, { target: "random", pace: 1, answer: 20, bots: 1, level: 4 });
    assert.ok(game.mayStop(encode(me), n => model.holdsSeat(n)));
    assert.ok(!game.mayStop(encode(bot), n => model.holdsSeat(n)), "only the host stops while it sits");

    feed(`/set ${dealer} 24`, "/game round 1", `/draw ${dealer} 01`, `/draw ${dealer} 05`);
    assert.equal(game.round, 1);
    // The player hits: the verdict's expression is not offered, the answer is awaited 20 s.
    assert.deepEqual(feed(`/judge ${me} Y 1 (5-1)*1*6`, `/game answer ${me} 20`), ["answerOpened"]);
    assert.ok(!model.expressionOffered && model.mayAnswer);
    assert.equal(decode(model.answer(encode("5*1*4+4"))!), `/answer ${me} 5*1*4+4`);
    clock.now += 12_300;
    assert.equal(game.secondsLeft(clock.now), 8);
    clock.now += 60_000;
    assert.equal(game.secondsLeft(clock.now), 0);
    feed("/B2T 0 " + me, "/B2T 0 " + me, `/game take ${me} 2`);
    assert.equal(game.answer, null);
    assert.deepEqual(model.table.hands.slice(0, 2), [2, 0]);

    // A wrong hit of the bot, then a timeout of the player: the latest penalty shows until the next round.
    feed("/game round 2", `/draw ${dealer} 13`, `/game penalty ${bot} wrong`);
    assert.deepEqual(game.penalty, { name: encode(bot), why: "wrong" });
    feed(`/game answer ${me} 20`, `/T2Y 0 ${me}`, `/game penalty ${me} time`);
    assert.ok(game.answer === null && !model.mayAnswer && game.penalty?.why === "time");
    feed("/game round 3");
    assert.equal(game.penalty, null);

    assert.deepEqual(feed(`/game result 1 1 ${me}`, `/game result 1 1 ${bot}`, "/game end deck", `/left ${bot}`),
        ["gameEnded", "left"]);
    assert.ok(!game.running);
    assert.deepEqual(game.standings, [{ place: 1, cards: 1, name: encode(me) }, { place: 1, cards: 1, name: encode(bot) }]);
    assert.equal(game.endReason, "deck");
    // もう一局 sends the same fields from the seat already held.
    assert.deepEqual(model.startGame(game.fields),
        { send: [encode(`/deal ${me} start TARGET=random PACE=1 ANSWER=20 BOTS=1 LEVEL=4`)] });
    feed("/init", `/take 0 ${me}`, `/game start ${me} random 1 20`);
    assert.equal(game.standings, null, "a new game clears the last standings");
});

test("a late joiner catches up: the state, the bots and an open answer with its seconds left", () => {
    const clock = { now: 0 };
    const { model, feed } = joined(clock);
    const host = decode(paddedName(encode("花子")));
    feed(`/state begin ${token} 120`, "/init", `/take 0 ${host}`, `/take 2 ${bot}`, "/state end",
        `/game state ${host} 47 5 30 4`, `/game bot ${bot} 2`, `/game answer ${bot} 7`);
    const game = model.game;
    assert.ok(game.running);
    assert.equal(game.round, 4);
    assert.deepEqual(game.fields, { target: 47, pace: 5, answer: 30, bots: 1, level: 2 });
    assert.equal(game.secondsLeft(clock.now), 7);
    assert.ok(!model.mayAnswer, "another's answer is not this player's");
    // Not seated, the host seated: no stop; once the host leaves, any seated player may stop.
    assert.ok(!game.mayStop(encode(me), n => model.holdsSeat(n)));
    feed(`/take 3 ${me}`, "/leave 0");
    assert.ok(game.mayStop(encode(me), n => model.holdsSeat(n)));
    assert.equal(decode(model.stopGame()), `/deal ${me} stop`);
    // The bot's answer is open; it leaves its seat (its hand forfeited): nobody's answer is awaited any longer.
    feed(`/take 4 ${bot}`, "/leave 2");
    assert.equal(game.secondsLeft(clock.now), 7, "the hitter still holds a seat");
    feed("/fleav 4");
    assert.equal(game.answer, null);
    assert.equal(game.secondsLeft(clock.now), 0);
    // A refusal goes to the page; a malformed line changes nothing.
    const refused = model.receive(encode("/game refused 対局はもう始まっています"));
    assert.deepEqual(refused, [{ kind: "gameRefused", text: encode("対局はもう始まっています") }]);
    feed("/game start x");
    assert.equal(game.round, 4);
});

test("the fields: their ranges, and no seat left to start from", () => {
    const good = { target: 47 as number | "random", pace: 5, answer: 20, bots: 0, level: 3 };
    assert.equal(fieldsProblem(good), undefined);
    assert.equal(fieldsProblem({ ...good, target: "random", bots: 5, level: 5, pace: 60, answer: 120 }), undefined);
    assert.equal(fieldsProblem({ ...good, target: 1000 }), "target");
    assert.equal(fieldsProblem({ ...good, pace: 0 }), "pace");
    assert.equal(fieldsProblem({ ...good, answer: 4 }), "answer");
    assert.equal(fieldsProblem({ ...good, bots: 6 }), "bots");
    assert.equal(fieldsProblem({ ...good, level: 2.5 }), "level");

    const { model, feed } = joined({ now: 0 });
    feed("/init", ...[0, 1, 2, 3, 4, 5].map(s => `/take ${s} ${decode(paddedName(encode(`p${s}`)))}`));
    assert.deepEqual(model.startGame(good), { refuse: "noFreeSeat" });
});
