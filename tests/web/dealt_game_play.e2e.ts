// Dealt games in Chromium on a phone against the real kivolsrv, played as a
// person would: the page reads the field, hits when it sees a calculation and
// types it into the answer box that took the focus. A fresh table greets its
// first player with 対局を始める; a game with a desktop player runs to the
// standings and もう一局 (a wrong answer's penalty on the way); practice
// alone against two computer players runs to the standings. Screenshots of
// an open answer with its countdown, the standings and practice in play land
// in KIVOL_SCREENSHOT_DIR; axe checks the table while an answer is open.
import assert from "node:assert/strict";
import { join } from "node:path";
import test from "node:test";
import { Page } from "playwright-core";

import { axeViolations, openPage, phone, shots, tableLink, typeName, withSession } from "./browser_session.js";
import { solveField, wrongAnswer } from "./field_solver.js";
import { Level2Peer } from "./level2_peer.js";

const CardCount = 54;
/** The longest a round of twelve cards at one second each, its pause and a stalled field can take, with room for a loaded machine. */
const TurnMs = 60000;

interface Board {
    round: number;
    /** The field's values left to right; undefined for a joker. */
    values: (number | undefined)[];
    target: number;
    pile: number;
    standings: boolean;
    countdown: string;
    penalty: string;
}

/** The table as the page shows it. */
async function board(page: Page): Promise<Board> {
    return page.evaluate(() => {
        const text = (selector: string) => document.querySelector(selector)?.textContent ?? "";
        const live = document.querySelector(".game-live");
        return {
            round: Number(/第(\d+)局/.exec(text(".game-summary"))?.[1] ?? 0),
            values: Array.from(document.querySelectorAll(".field img"), image => {
                const value = Number(image.getAttribute("alt")?.split(" ").at(-1));
                return Number.isNaN(value) ? undefined : value;
            }),
            target: Number(text(".target-value")),
            pile: Number(text(".pile-count")),
            standings: !!document.querySelector(".standings:not([hidden])"),
            countdown: live?.classList.contains("countdown") ? live.textContent ?? "" : "",
            penalty: live?.classList.contains("penalised") ? live.textContent ?? "" : "",
        };
    });
}

/** Nothing is wider than the phone: the page never scrolls sideways. */
async function fitsWidth(page: Page, what: string): Promise<void> {
    const [scroll, width] = await page.evaluate(() => [document.documentElement.scrollWidth, window.innerWidth]);
    assert.ok(scroll <= width, `${what}: ${scroll} px wide in a ${width} px window`);
}

/** Waits until the standings show, or the field is all there will be (twelve cards, or the pile is out) and no answer is open. */
async function nextTurn(page: Page): Promise<Board> {
    await page.waitForFunction(() => {
        if (document.querySelector(".standings:not([hidden])"))
            return true;
        const cards = document.querySelectorAll(".field img").length;
        const pile = document.querySelector(".pile-count")?.textContent;
        return !document.querySelector(".game-live.countdown") && (cards === 12 || (pile === "0" && cards > 0));
    }, undefined, { timeout: TurnMs });
    return board(page);
}

/** Waits until the field lies otherwise than it did: taken, dealt on, returned, or the game over. */
async function fieldChanged(page: Page, before: Board): Promise<void> {
    const first = await page.evaluate(() => document.querySelector(".field img")?.getAttribute("src") ?? "");
    await page.waitForFunction(([count, src]) => {
        const images = document.querySelectorAll(".field img");
        return !!document.querySelector(".standings:not([hidden])") || images.length !== count ||
            (images[0]?.getAttribute("src") ?? "") !== src;
    }, [before.values.length, first] as const, { timeout: TurnMs });
}

/** The page's player's penalties so far: the dealer's chat says each; the strip shows only the latest. */
function penalties(page: Page): Promise<number> {
    return page.evaluate(() => Array.from(document.querySelectorAll(".chat-log p"))
        .filter(line => line.textContent?.startsWith("【親】太郎 お手つき")).length);
}

/** Waits until the page shows the condition or a penalty of its player beyond the given count. */
async function untilOrPenalised(page: Page, condition: string, before: number): Promise<void> {
    await page.waitForFunction(([condition, before]) => !!document.querySelector(condition) ||
        Array.from(document.querySelectorAll(".chat-log p"))
            .filter(line => line.textContent?.startsWith("【親】太郎 お手つき")).length > before,
    [condition, before] as const);
}

/**
 * The page's player hits; resolves with its answer open and the answer box
 * focused, with its penalty, or with another player's answer open (who hit first).
 */
async function hitFromPage(page: Page): Promise<"answer" | "penalty" | "other"> {
    const before = await penalties(page);
    await page.getByRole("button", { name: "叩く！ (H)" }).click();
    await untilOrPenalised(page, ".game-live.countdown", before);
    if (await penalties(page) > before)
        return "penalty";
    const countdown = (await board(page)).countdown;
    if (!countdown.startsWith("あなたの解答"))
        return "other";
    assert.match(countdown, /^あなたの解答 残り \d+ 秒$/);
    await page.waitForFunction(() => document.activeElement?.getAttribute("aria-label") === "あなたの計算式");
    return "answer";
}

/** Types the calculation where the focus is (the answer box) and waits for the take. */
async function answerFromPage(page: Page, calculation: string): Promise<void> {
    const before = await penalties(page);
    await page.keyboard.type(calculation);
    await page.keyboard.press("Enter");
    await untilOrPenalised(page, ".standings:not([hidden]), .field:not(:has(img))", before);
    assert.equal(await penalties(page), before, `the calculation ${calculation} was taken`);
}

/**
 * Plays rounds until the standings show: at each full field the turn is
 * given to whoever plays it (it resolves once the field changed); a field
 * without a calculation of up to four cards is left to the dealer.
 */
async function playToStandings(page: Page, play: (turn: Board, calculation: string) => Promise<void>): Promise<Board> {
    // Five full fields take the deck; returned ones and the others' rounds come on top.
    for (let turns = 0; turns < 30; ++turns) {
        const turn = await nextTurn(page);
        if (turn.standings)
            return turn;
        const calculation = solveField(turn.values, turn.target);
        if (calculation === undefined)
            await fieldChanged(page, turn);
        else
            await play(turn, calculation);
    }
    throw new Error(`no standings after 30 turns: ${JSON.stringify(await board(page))}`);
}

/** The standings as listed, and that they account for every card: those in hands and those left on the field. */
async function checkStandings(page: Page, players: number): Promise<string[]> {
    const lines = await page.locator(".standings li").allTextContents();
    assert.equal(lines.length, players, JSON.stringify(lines));
    const rows = lines.map(line => /^(\d+)位 (.+) (\d+)枚$/.exec(line)!);
    assert.ok(rows.every(row => row !== null), JSON.stringify(lines));
    const cards = rows.map(row => Number(row[3]));
    assert.deepEqual([...cards].sort((a, b) => b - a), cards, "in standing order");
    assert.equal(rows[0][1], "1");
    const end = await board(page);
    assert.equal(end.pile, 0, "the deck was dealt out");
    assert.equal(cards.reduce((a, b) => a + b, 0) + end.values.length, CardCount, JSON.stringify(lines));
    return lines;
}

test("a fresh table greets with 対局を始める; a dealt game with a desktop player on a phone to the standings and もう一局", async () => {
    await withSession(async ({ server, browser }) => {
        const { page, problems } = await openPage(browser, phone, { bypassCSP: true });
        await typeName(page, server, "太郎");
        await page.goto(tableLink(server, "対局"));
        await page.getByRole("heading", { name: "対局を始める" }).waitFor();
        assert.ok(await page.locator(".notice").isHidden(), "no waiting notice beside the greeting");

        const peer = await Level2Peer.connect(server.gamePort, "花子");
        try {
            await peer.join({ table: "対局" });
            await page.locator(".greeting").getByRole("button", { name: "対局を始める" }).click();
            await page.getByRole("heading", { name: "対局の設定" }).waitFor();
            await page.getByLabel("目標数（1～999）").fill("10");
            await page.getByLabel("配札の間隔（秒、1～60）").fill("1");
            await page.getByLabel("解答時間（秒、5～120）").fill("10");
            await page.getByRole("button", { name: "開始" }).click();
            await peer.waitFor(text => text === "/game start 太郎     10 1 10", "the game's start");
            peer.send(`/take 1 ${peer.padded}`);
            await page.locator("#seat-1-name", { hasText: "花子" }).waitFor();
            await page.locator(".game-summary", { hasText: "第1局 ・ 親番 太郎 ・ 目標数 10" }).waitFor();
            assert.ok(await page.locator(".greeting").isHidden());

            // A hit at the third card, answered wrong: a penalty shows.
            let answerShown = false;
            const openAnswer = async () => {
                if (answerShown)
                    return;
                answerShown = true;
                await page.screenshot({ path: join(shots, "dealt-game-answer-phone.png") });
                await fitsWidth(page, "the table with an answer open");
                const axe = await axeViolations(page, "dealt game, answer open, phone");
                assert.deepEqual(axe.serious, [], "the table in a dealt game on a phone");
            };
            await page.waitForFunction(() => document.querySelectorAll(".field img").length >= 3, undefined, { timeout: TurnMs });
            if (await hitFromPage(page) === "answer") {
                await openAnswer();
                const early = await board(page);
                await page.keyboard.type(wrongAnswer(early.values, early.target) ?? "1+1+1+1+1+1+1+1+1+1+1");
                await page.keyboard.press("Enter");
            }
            await page.locator(".game-live.penalised", { hasText: /^太郎：(解答が違う|作れないのに叩いた)（1枚戻し）$/ }).waitFor();

            // Then every full field: the desktop player takes the second round, the page the others.
            let peerPlayed = false;
            const end = await playToStandings(page, async (turn, calculation) => {
                if (turn.round === 2 && !peerPlayed) {
                    peerPlayed = true;
                    const from = peer.received.length;
                    peer.send(`/hit ${peer.padded}`);
                    await peer.waitFor(text => text === `/game answer ${peer.padded} 10`, "the desktop player's answer opened", from);
                    peer.send(`/answer ${peer.padded} ${calculation}`);
                    await peer.waitFor(text => text.startsWith(`/game take ${peer.padded} `), "the desktop player's take", from);
                    await fieldChanged(page, turn);
                    return;
                }
                assert.equal(await hitFromPage(page), "answer");
                await openAnswer();
                await answerFromPage(page, calculation);
            });
            assert.ok(end.standings && answerShown);
            const lines = await checkStandings(page, 2);
            assert.ok(lines.some(line => line.includes("花子")) && lines.some(line => line.includes("太郎")));
            await page.getByRole("heading", { name: "終局", exact: true }).waitFor();
            const again = page.getByRole("button", { name: "もう一局" });
            assert.ok(await again.evaluate(button => document.activeElement === button), "もう一局 has the focus");
            await page.screenshot({ path: join(shots, "dealt-game-standings-phone.png"), fullPage: true });
            await fitsWidth(page, "the standings");
            const standingsAxe = await axeViolations(page, "dealt game, standings, phone");
            assert.deepEqual(standingsAxe.serious, [], "the standings on a phone");

            // もう一局: the same fields again, then the host stops it.
            const from = peer.received.length;
            await again.click();
            await peer.waitFor(text => text === "/game start 太郎     10 1 10", "the next game's start", from);
            await page.locator(".standings").waitFor({ state: "hidden" });
            await page.locator(".game-summary", { hasText: "第1局" }).waitFor();
            await page.getByRole("button", { name: "対局をやめる" }).click();
            await page.getByRole("button", { name: "OK" }).click();
            await peer.waitFor(text => text === "/game end stop", "the stop", from);
            await page.getByRole("heading", { name: "終局（中止）" }).waitFor();
            assert.deepEqual(problems, []);
        } finally {
            peer.close();
        }
    });
});

test("practice alone on a phone: two level-3 computer players, marked in the seats, a whole game to the standings", async () => {
    await withSession(async ({ server, browser }) => {
        const { page, problems } = await openPage(browser, phone);
        await typeName(page, server, "太郎");
        await page.getByLabel("コンピューターの人数").selectOption("2");
        await page.getByLabel("強さ", { exact: true }).selectOption({ label: "中級" });
        await page.getByLabel("配札の間隔（秒）").selectOption("1");
        await page.getByRole("button", { name: "練習を始める" }).click();
        await page.locator(".game-summary", { hasText: "第1局" }).waitFor();
        assert.match(new URL(page.url()).pathname, /^\/t\/%E7%B7%B4%E7%BF%92[0-9a-f]{8}$/, "a table of its own");
        assert.match(new URL(page.url()).hash, /^#key=[0-9a-f]{24}$/, "a private one");
        await page.locator("#seat-0-name", { hasText: /^太郎$/ }).waitFor();
        for (const seat of [1, 2])
            await page.locator(`#seat-${seat}-name.bot`, { hasText: /^ロボ\d（CPU 中級）$/ }).waitFor();
        assert.equal(await page.locator(".roster li.bot").count(), 2);

        let shown = false;
        let botsPlayed = false;
        const end = await playToStandings(page, async (turn, calculation) => {
            if (!shown) {
                shown = true;
                await page.screenshot({ path: join(shots, "practice-phone.png") });
                await fitsWidth(page, "practice with a random target");
            }
            // The computer players have the second round to themselves.
            if (turn.round === 2 && !botsPlayed) {
                botsPlayed = true;
                await fieldChanged(page, turn);
                return;
            }
            const hit = await hitFromPage(page);
            if (hit === "answer")
                await answerFromPage(page, calculation);
            else if (hit === "other")
                await fieldChanged(page, turn);
            else
                assert.fail(`a hit at ${calculation} was penalised`);
        });
        assert.ok(end.standings);
        const lines = await checkStandings(page, 3);
        assert.equal(lines.filter(line => /ロボ\d（CPU 中級）/.test(line)).length, 2, JSON.stringify(lines));
        await page.screenshot({ path: join(shots, "practice-standings-phone.png"), fullPage: true });
        assert.deepEqual(problems, []);
    });
});
