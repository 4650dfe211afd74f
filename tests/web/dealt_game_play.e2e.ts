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

import { axeViolations, openPage, phone, shots, tableLink, typeName, withSession } from "./browser_session.js";
import { answerFromPage, board, checkStandings, fieldChanged, fitsWidth, hitFromPage, playToStandings, startFromGreeting, TurnMs } from "./dealt_game_page.js";
import { wrongAnswer } from "./field_solver.js";
import { Level2Peer } from "./level2_peer.js";

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
            await startFromGreeting(page, 10, 1, 10);
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
