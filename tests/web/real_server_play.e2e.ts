// The built page in Chromium against the real kivolsrv, with a scripted
// desktop player (level 2 over the game's TCP port) at the same table: each
// sees the other's seats, draws, Japanese chat and hits with their verdicts;
// the browser's connection cut at the server comes back into its seats; a
// table's link opens it; a private table's link joins with its key and shows
// the refusal's text without it. Screenshots of the table in play at a
// desktop and a phone size land in KIVOL_SCREENSHOT_DIR.
import assert from "node:assert/strict";
import { join } from "node:path";
import test from "node:test";

import { desktop, openPage, phone, shots, tableLink, typeName, withSession } from "./browser_session.js";
import { Level2Peer } from "./level2_peer.js";
import { cutWebConnections } from "./real_server.js";

/** A card's value in the game, or undefined for a joker. */
function cardValue(number: number): number | undefined {
    return number > 52 ? undefined : ((number - 1) % 13) + 1;
}

/** The card number of a "/draw NAME NN" reply (two digits after the padded name). */
function drawnCard(text: string, padded: string): number | undefined {
    const match = new RegExp(`^/draw ${padded} (\\d\\d)$`).exec(text);
    return match ? Number(match[1]) : undefined;
}

test("a browser player and a desktop player at one table: seats, draws, chat, hits, verdicts and a cut", async () => {
    await withSession(async ({ server, browser }) => {
        const peer = await Level2Peer.connect(server.gamePort, "花子");
        try {
            await peer.join({ table: "金曜" });
            peer.send("/init");
            peer.send(`/take 0 ${peer.padded}`);
            peer.send(`/draw ${peer.padded}`);
            peer.send(`/draw ${peer.padded}`);
            const peerDraws = () => peer.received.map(text => drawnCard(text, peer.padded)).filter(n => n !== undefined);
            await peer.waitFor(() => peerDraws().length === 2, "the desktop player's two draws");

            const { context, page, problems } = await openPage(browser, desktop);
            await typeName(page, server, "太郎");
            await page.getByRole("rowheader", { name: "金曜" }).waitFor();

            // The table's link opens the table (the name typed in the lobby is kept).
            let from = peer.received.length;
            await page.goto(tableLink(server, "金曜"));
            await peer.waitFor(text => text === "/join 太郎    ", "the browser player's join", from);
            await page.locator("#seat-0-name", { hasText: "花子" }).waitFor();
            await page.locator(".pile-count", { hasText: "52" }).waitFor();
            assert.equal(await page.locator(".field img").count(), 2);
            assert.equal(await page.locator(".field .drawer", { hasText: "花子" }).count(), 2);

            // Seats and draws, each way.
            from = peer.received.length;
            await page.getByRole("button", { name: "席 3 座る" }).click();
            await peer.waitFor(text => text === "/take 2 太郎    ", "the browser player's seat", from);
            await page.getByRole("button", { name: "席 3 離席" }).waitFor();
            await page.getByRole("button", { name: "ひく", exact: true }).click();
            const browserDraw = drawnCard(await peer.waitFor(text => drawnCard(text, "太郎    ") !== undefined,
                "the browser player's draw", from), "太郎    ")!;
            await page.locator(".field img").nth(2).waitFor();
            assert.equal(await page.locator(".field .drawer").nth(2).textContent(), "太郎");
            peer.send(`/leave 0`);
            await page.locator("#seat-0-name", { hasText: "空き" }).waitFor();
            peer.send(`/take 1 ${peer.padded}`);
            await page.locator("#seat-1-name", { hasText: "花子" }).waitFor();

            // Japanese chat, each way, through code page 932 on the TCP side.
            peer.send(`${peer.padded}: こんにちは～ ｶﾞﾝﾊﾞﾛｳ①`);
            await page.getByText(`${peer.padded}: こんにちは～ ｶﾞﾝﾊﾞﾛｳ①`, { exact: true }).waitFor();
            from = peer.received.length;
            await page.getByLabel("発言", { exact: true }).fill("よろしくお願いします！");
            await page.getByLabel("発言", { exact: true }).press("Enter");
            await peer.waitFor(text => text === "太郎    : よろしくお願いします！", "the browser player's chat line", from);

            // A target that one field card makes, set in the browser; a hit from each side with its verdict.
            const target = [...peerDraws(), browserDraw].map(cardValue).find(value => value !== undefined)!;
            await page.getByLabel("目標数の入力").fill(String(target));
            await page.getByLabel("目標数の入力").press("Enter");
            await peer.waitFor(text => text === `/set 太郎     ${target}`, "the browser player's target", from);
            await page.locator(".target-value", { hasText: String(target) }).waitFor();
            from = peer.received.length;
            peer.send(`/hit ${peer.padded}`);
            await peer.waitFor(text => text.startsWith(`/judge ${peer.padded} Y 1 `), "the desktop player's verdict", from);
            await page.locator(".verdict", { hasText: "作れます　一番乗り 花子" }).waitFor();
            await page.locator(".chat-log p", { hasText: /^!+-+ +花子 +\d{4}\/\d\d\/\d\d / }).waitFor();
            await page.getByRole("button", { name: "叩く！ (H)" }).click();
            const judged = await peer.waitFor(text => text.startsWith("/judge 太郎     "), "the browser player's verdict", from);
            assert.match(judged, /^\/judge 太郎 {5}Y 0 [0-9+\-*/()]+$/);
            await page.getByLabel("あなたの計算式").fill(String(target));
            await page.getByLabel("あなたの計算式").press("Enter");
            const verdictLine = `【判定】太郎     ${target} = ${target} 正解`;
            await peer.waitFor(text => text === verdictLine, "the answer's verdict line", from);
            await page.getByText(verdictLine, { exact: true }).waitFor();
            await page.locator(".answer").filter({ hasText: /\d/ }).waitFor();

            await page.screenshot({ path: join(shots, "real-server-table-desktop.png"), fullPage: true });
            await page.setViewportSize(phone);
            await page.screenshot({ path: join(shots, "real-server-table-phone.png"), fullPage: true });
            await page.setViewportSize(desktop);

            // The connection cut at the server: the desktop player sees the browser player away and
            // back, the page says it is reconnecting and resumes into its seat.
            const rosterBefore = peer.received.filter(text => text.startsWith("/list ")).at(-1);
            from = peer.received.length;
            assert.ok(cutWebConnections(server) >= 1, "a connection to the web port was cut");
            await Promise.all([peer.waitFor(text => text === "/away 太郎    ", "the browser player away", from),
                page.getByText("再接続中…", { exact: false }).waitFor()]);
            await peer.waitFor(text => text === "/back 太郎    ", "the browser player back", from);
            await page.getByText("再接続中…", { exact: false }).waitFor({ state: "hidden" });
            assert.equal(peer.received.filter(text => text.startsWith("/list ")).at(-1), rosterBefore);
            await page.getByRole("button", { name: "席 3 離席" }).waitFor();
            assert.equal(await page.locator(".field img").count(), 3);
            assert.equal(await page.locator(".roster li.away").count(), 0);
            from = peer.received.length;
            await page.getByLabel("発言", { exact: true }).fill("ただいま");
            await page.getByLabel("発言", { exact: true }).press("Enter");
            await peer.waitFor(text => text === "太郎    : ただいま", "a chat line after the resume", from);

            // Leaving sends the leave sequence: the seat is free again.
            await page.getByRole("button", { name: "退出" }).click();
            await peer.waitFor(text => text === "/fleav 2", "the browser player's seat freed", from);
            assert.ok(peer.received.slice(from).includes("/left 太郎    "));
            assert.deepEqual(problems, []);
            await context.close();
        } finally {
            peer.close();
        }
    });
});

test("a private table's link joins with its key and shows the refusal without it", async () => {
    await withSession(async ({ server, browser }) => {
        const peer = await Level2Peer.connect(server.gamePort, "鍵子");
        try {
            await peer.join({ table: "秘密", key: "open-sesame" });
            peer.send("/init");
            peer.send(`/take 1 ${peer.padded}`);
            await peer.waitFor(text => text === `/take 1 ${peer.padded}`, "the desktop player's seat");

            const { context, page, problems } = await openPage(browser, phone);
            await typeName(page, server, "次郎");
            assert.equal(await page.getByRole("rowheader", { name: "秘密" }).count(), 0, "a private table is not listed");

            let from = peer.received.length;
            await page.goto(tableLink(server, "秘密", "#key=open-sesame"));
            await peer.waitFor(text => text === "/join 次郎    ", "the browser player's join", from);
            await page.locator("#seat-1-name", { hasText: "鍵子" }).waitFor();
            await page.getByRole("button", { name: "退出" }).click();
            await peer.waitFor(text => text === "/left 次郎    ", "the browser player's leave", from);

            for (const hash of ["", "#key=wrong"]) {
                from = peer.received.length;
                await page.goto(tableLink(server, "秘密", hash));
                await page.getByRole("alert").filter({ hasText: "このテーブルには鍵が必要です" }).waitFor();
                assert.equal(new URL(page.url()).pathname, "/");
                if (hash === "")
                    await page.screenshot({ path: join(shots, "real-server-refused-phone.png") });
                await page.getByRole("button", { name: "OK" }).click();
                assert.deepEqual(peer.received.slice(from), [], "nothing of a refused join reaches the table");
                assert.equal(await page.getByLabel("テーブル名").inputValue(), "秘密");
            }
            // The lobby kept the refused table's name: with the key typed in, the player joins.
            await page.getByLabel("鍵（任意、非公開にする）").fill("open-sesame");
            await page.getByRole("button", { name: "作って参加" }).click();
            await peer.waitFor(text => text === "/join 次郎    ", "the join with the typed key", from);
            await page.locator("#seat-1-name", { hasText: "鍵子" }).waitFor();
            assert.deepEqual(problems, []);
            await context.close();
        } finally {
            peer.close();
        }
    });
});
