// The browser on a phone and the desktop client's window at one dealt game
// of the real kivolsrv, as two people would play it: the page's player opens
// the table, the page starts the game from its greeting 対局を始める, the
// desktop player sits, the desktop player takes one field with its own hit
// and calculation, the page takes the others, both show the same standings,
// the desktop's もう一局 starts the next game on both and the desktop
// player stops it. Screenshots of both while an answer is open and at the standings
// land in KIVOL_SCREENSHOT_DIR.
import assert from "node:assert/strict";
import { join } from "node:path";
import test from "node:test";

import { openPage, phone, shots, tableLink, typeName, withSession } from "./browser_session.js";
import { answerFromPage, Board, checkStandings, fieldChanged, fitsWidth, hitFromPage, nextTurn, startFromGreeting } from "./dealt_game_page.js";
import { desktopProgram, DesktopPlayer } from "./desktop_player.js";
import { solveField } from "./field_solver.js";

test("the browser on a phone and the desktop window at one dealt game: 対局を始める, a take each, the same standings, もう一局", async () => {
    assert.ok(desktopProgram, "KIVOL_DESKTOP_PLAYER is set");
    await withSession(async ({ server, browser }) => {
        const { page, problems } = await openPage(browser, phone);
        await typeName(page, server, "太郎");
        await page.goto(tableLink(server, "対局"));
        await page.getByRole("heading", { name: "対局を始める" }).waitFor();

        const { player: desktop, first } = await DesktopPlayer.start(`127.0.0.1:${server.gamePort}/対局`, "花子");
        try {
            assert.equal(first, "connected");
            await startFromGreeting(page, 10, 1, 10);
            await page.locator(".game-summary", { hasText: "第1局 ・ 親番 太郎 ・ 目標数 10" }).waitFor();
            // Seats are known free once a game began: the desktop player sits then.
            const seat = /^seated (\d)$/.exec(await desktop.ask("sit"))![1];
            await page.locator(`#seat-${seat}-name`, { hasText: "花子" }).waitFor();

            // The page takes the first round; from the second on, the desktop
            // player has the first full field it can make, the page the rest.
            let desktopTook = false;
            let answerShown = false;
            let end: Board | undefined;
            for (let turns = 0; turns < 30 && !end; ++turns) {
                const turn = await nextTurn(page);
                if (turn.standings) {
                    end = turn;
                    break;
                }
                if (turn.round >= 2 && !desktopTook) {
                    desktopTook = (await desktop.ask("take")).startsWith("took");
                    await fieldChanged(page, turn);
                    continue;
                }
                const calculation = solveField(turn.values, turn.target);
                if (calculation === undefined) {
                    await fieldChanged(page, turn);
                    continue;
                }
                assert.equal(await hitFromPage(page), "answer");
                if (!answerShown) {
                    answerShown = true;
                    await page.screenshot({ path: join(shots, "beside-desktop-answer-phone.png") });
                    await fitsWidth(page, "the table with an answer open");
                }
                await answerFromPage(page, calculation);
            }
            assert.ok(end && desktopTook && answerShown, `standings ${!!end}, a desktop take ${desktopTook}`);

            // Both show the same standings, in the same order.
            const lines = await checkStandings(page, 2);
            const desktopLines = (await desktop.ask("standings")).replace(/^standings /, "").split("|")
                .map(line => line.replace(/^(\d+) (.+) (\d+)$/, "$1位 $2 $3枚"));
            assert.deepEqual(desktopLines, lines);
            assert.ok(lines.some(line => line.includes("花子")) && lines.some(line => line.includes("太郎")));
            await page.getByRole("heading", { name: "終局", exact: true }).waitFor();
            await page.screenshot({ path: join(shots, "beside-desktop-standings-phone.png"), fullPage: true });

            // もう一局 at the desktop starts the next game on both, its host now
            // the desktop player, who stops it.
            assert.equal(await desktop.ask("again"), "started");
            await page.locator(".standings").waitFor({ state: "hidden" });
            await page.locator(".game-summary", { hasText: "第1局 ・ 親番 花子" }).waitFor();
            assert.equal(await desktop.ask("stop"), "stopped");
            await page.getByRole("heading", { name: "終局（中止）" }).waitFor();
            assert.deepEqual(problems, []);
        } finally {
            await desktop.close();
        }
    });
});
