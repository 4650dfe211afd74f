// The records pages in Chromium against the real kivolsrv, after a season of
// games that kivol_records_season wrote into the server's state folder: the
// leaderboard's order is the ratings', a profile's numbers are a count over
// the player's recorded games (the NDJSON export) and its games page in,
// and a game's replay stepped to its end shows the recorded standings. Then
// a name registered in the browser: its key survives a reload, another
// browser without it is refused with the sentence, and the imported key lets
// it in, and so does the key imported into the desktop client's window. Screenshots of the leaderboard, a profile and a replay.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import test from "node:test";
import { Page } from "playwright-core";

import { axeViolations, desktop, openPage, phone, shots, typeName, withSession } from "./browser_session.js";
import { DesktopPlayer } from "./desktop_player.js";
import { RealServer } from "./real_server.js";
import { LeaderboardRow, PlayerPage, RecordedGame, gamesOfNdjson } from "../../web/src/records.js";

const season = process.env.KIVOL_SEASON ?? "";

async function json<T>(server: RealServer, path: string): Promise<T> {
    const answer = await fetch(server.url + path);
    assert.equal(answer.status, 200, path);
    return await answer.json() as T;
}

/** The texts of the locator's elements. */
async function texts(page: Page, selector: string): Promise<string[]> {
    return (await page.locator(selector).allTextContents()).map(s => s.trim());
}

/** The value beside a statistic's caption. */
async function statistic(page: Page, caption: string): Promise<string> {
    return (await page.locator(".statistics dt", { hasText: caption }).locator("xpath=following-sibling::dd[1]").textContent() ?? "").trim();
}

// Three practice games under the registered name are on its page, the newest with its replay.
test("the records pages after a season, and a name registered in the browser", { timeout: 240000 }, async () => {
    assert.ok(season, "KIVOL_SEASON names the season writer");
    const state = mkdtempSync(join(tmpdir(), "kivol-season-"));
    try {
        execFileSync(season, [state], { stdio: "inherit" });
        await withSession(async ({ server, browser }) => {
            // The leaderboard: best first, each rating the player's own.
            const board = await json<{ players: LeaderboardRow[] }>(server, "/api/leaderboard");
            assert.ok(board.players.length >= 3, JSON.stringify(board));
            const ratings = board.players.map(p => p.rating);
            assert.deepEqual(ratings, [...ratings].sort((a, b) => b - a));
            for (const row of board.players) {
                const player = await json<PlayerPage>(server, `/api/players/${encodeURIComponent(row.name)}`);
                assert.equal(player.rating?.rating, row.rating, row.name);
                assert.equal(player.rating?.provisional, false, row.name);
            }
            const { context, page, problems } = await openPage(browser, desktop, { bypassCSP: true });
            const accessible = async (what: string) => assert.deepEqual((await axeViolations(page, what)).serious, [], what);
            await page.goto(server.url + "/leaderboard");
            await page.locator(".leaderboard tbody tr").first().waitFor();
            assert.deepEqual(await texts(page, ".leaderboard tbody th"), board.players.map(p => p.name));
            assert.deepEqual(await texts(page, ".leaderboard tbody td:nth-child(3)"), ratings.map(r => r.toFixed(0)));
            await page.screenshot({ path: join(shots, "browser-leaderboard.png"), fullPage: true });
            await accessible("leaderboard");

            // A profile: its numbers are those of the player's recorded games.
            const best = board.players[0];
            const games = gamesOfNdjson(await (await fetch(`${server.url}/api/games?player=${encodeURIComponent(best.name)}&limit=1000`)).text());
            const own = (g: RecordedGame) => g.players.find(p => p.name.toLowerCase() === best.name.toLowerCase())!;
            assert.equal(games.length, best.games);
            assert.equal(games.filter(g => own(g).place === 1).length, best.wins);
            const places: number[] = [];
            for (const g of games)
                places[own(g).place - 1] = (places[own(g).place - 1] ?? 0) + 1;
            await page.getByRole("link", { name: best.name }).click();
            await page.locator(".statistics dd").first().waitFor();
            assert.equal(await statistic(page, "対局数"), String(games.length));
            assert.equal(await statistic(page, "取った札"), String(games.reduce((n, g) => n + own(g).cards, 0)));
            assert.equal(await statistic(page, "順位"),
                Array.from(places, (n, i) => `${i + 1}位 ${n ?? 0}回`).join("、"));
            assert.equal(await page.locator(".rating-chart circle").count(), games.length, "a point for each rated game");
            // The last games, older ones paged in until there are none.
            const rows = page.locator(".last-games tbody tr");
            for (let shown = 0; await page.locator(".older-games").isVisible();) {
                shown = await rows.count();
                await page.locator(".older-games").click();
                // More rows, or none left (the page asks once more after a full page).
                await page.waitForFunction(n => document.querySelectorAll(".last-games tbody tr").length > n ||
                    document.querySelector<HTMLElement>(".older-games")!.hidden, shown);
            }
            assert.equal(await rows.count(), games.length);
            assert.deepEqual(await texts(page, ".last-games tbody td:nth-child(4)"), games.map(g => String(own(g).cards)));
            await page.evaluate(() => window.scrollTo(0, 0));
            await page.screenshot({ path: join(shots, "browser-profile.png") });
            await accessible("profile");

            // A replay stepped to its end shows the recorded standings.
            const newest = await json<RecordedGame>(server, `/api/games/${games[0].id}`);
            await rows.first().getByRole("link").click();
            await page.locator(".replay-step").waitFor();
            const recorded = await texts(page, ".final-standings li");
            assert.equal(recorded.length, newest.players.length);
            const step = page.locator(".replay-step");
            for (let n = 1; n <= newest.events!.length; ++n) {
                await step.click();
                if (n === Math.floor(newest.events!.length / 2)) {
                    await page.locator(".replay-back").click();
                    await step.click();
                    await page.screenshot({ path: join(shots, "browser-replay.png"), fullPage: true });
                }
            }
            assert.ok(await step.isDisabled());
            assert.equal(await page.locator(".replay-position").textContent(), `${newest.events!.length} / ${newest.events!.length}`);
            assert.deepEqual(await texts(page, ".replay-standings li"), recorded);
            await page.setViewportSize(phone);
            await page.screenshot({ path: join(shots, "browser-replay-phone.png") });
            await accessible("replay, phone");
            assert.deepEqual(problems, []);
            await context.close();

            // A name registered in one browser: its key kept over a reload.
            const first = await openPage(browser, desktop);
            await typeName(first.page, server, "Yuki");
            await first.page.getByRole("button", { name: "この名前を登録" }).click();
            const keyField = first.page.locator("dialog.message #name-key");
            await keyField.waitFor();
            const key = await keyField.inputValue();
            assert.match(key, /^[0-9a-f]{32}$/);
            assert.match(await first.page.locator("dialog.message").textContent() ?? "", /名前「Yuki」を登録しました/);
            await first.page.screenshot({ path: join(shots, "browser-name-key.png") });
            await first.page.getByRole("button", { name: "閉じる" }).click();
            await first.page.reload();
            await first.page.getByText("このブラウザーにこの名前の鍵があります。").waitFor();
            await first.page.getByRole("button", { name: "別の端末で使う" }).click();
            assert.equal(await keyField.inputValue(), key);
            await first.page.getByRole("button", { name: "閉じる" }).click();
            await first.page.getByRole("button", { name: "メインテーブル に参加" }).click();
            await first.page.locator(".table-screen").waitFor();
            await first.page.getByRole("button", { name: "退出" }).click();
            await first.page.getByRole("rowheader", { name: "メインテーブル" }).waitFor();

            // The registered player practises three games against computer players, stopping each
            // once a hand holds cards: they are recorded under the name, and the newest one's replay
            // on the player's page ends at its standings.
            await first.page.getByLabel("コンピューターの人数").selectOption("2");
            await first.page.getByLabel("強さ", { exact: true }).selectOption({ label: "達人" });
            await first.page.getByLabel("配札の間隔（秒）").selectOption("1");
            await first.page.getByRole("button", { name: "練習を始める" }).click();
            let played: string[] = [];
            for (let game = 1; game <= 3; ++game) {
                if (game > 1) {
                    await first.page.getByRole("button", { name: "もう一局" }).click();
                    await first.page.locator(".standings").waitFor({ state: "hidden" });
                }
                await first.page.locator(".game-summary", { hasText: "第1局" }).waitFor();
                await first.page.locator(".seat .hand", { hasText: /手札 [1-9]/ }).first().waitFor({ timeout: 60000 });
                await first.page.getByRole("button", { name: "対局をやめる" }).click();
                await first.page.getByRole("button", { name: "OK" }).click();
                await first.page.getByRole("heading", { name: "終局（中止）" }).waitFor();
                played = await first.page.locator(".standings li").allTextContents();
            }
            const deadline = Date.now() + 15000;
            while ((await json<PlayerPage>(server, "/api/players/Yuki")).statistics.games < 3) {
                assert.ok(Date.now() < deadline, "the practice games are recorded");
                await new Promise(resolve => setTimeout(resolve, 50));
            }
            await first.page.goto(server.url + "/p/Yuki");
            assert.equal(await statistic(first.page, "対局数"), "3");
            assert.match(await first.page.locator(".rating-now").textContent() ?? "", /暫定/);
            await first.page.locator(".last-games tbody a").first().click();
            await first.page.locator(".replay-end").click();
            const replayed = await texts(first.page, ".replay-standings li");
            assert.deepEqual(replayed, await texts(first.page, ".final-standings li"));
            assert.equal(replayed.length, played.length, JSON.stringify({ played, replayed }));

            // Another browser, without the key, in another letter case: refused, then let in by the import.
            const second = await openPage(browser, phone);
            await typeName(second.page, server, "YUKI");
            await second.page.getByRole("button", { name: "メインテーブル に参加" }).click();
            const dialog = second.page.locator("dialog.message");
            await dialog.getByText("この名前は登録されています").waitFor();
            const importField = dialog.locator("#import-key");
            await importField.fill("not a key");
            await dialog.getByRole("button", { name: "取り込んで参加" }).click();
            await dialog.getByText("鍵は32桁の16進数です").waitFor();
            await importField.fill(` ${key.toUpperCase()} `);
            await dialog.getByRole("button", { name: "取り込んで参加" }).click();
            await second.page.locator(".table-screen").waitFor();
            await second.page.locator(".roster li", { hasText: "YUKI" }).waitFor();
            assert.equal(await dialog.isVisible(), false);
            assert.deepEqual([...first.problems, ...second.problems], []);
            await first.context.close();
            await second.context.close();

            // The same name in the desktop client's window: refused without the key, let in by importing it.
            const started = await DesktopPlayer.start(`127.0.0.1:${server.gamePort}`, "Yuki");
            try {
                assert.equal(started.first, "refused この名前は登録されています");
                assert.equal(await started.player.ask(`import ${key}`), "connected");
            } finally {
                await started.player.close();
            }
        }, 120, ["--state-dir", state]);
    } finally {
        rmSync(state, { recursive: true, force: true });
    }
});
