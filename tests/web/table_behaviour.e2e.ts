// How the table page behaves for a player in Chromium against the real
// kivolsrv, a scripted desktop player at the same table: a reload keeps the
// entry and its seats; a name back in a new tab is away once, in its old
// entry only; nothing moves when a hit is shown; a phone shows the newest chat
// line beside the hit button; tap targets of 44 px; no sit button on another's
// seat; an unsendable character keeps the text; a private table's link is
// copied and joined with 参加; a corrected field loses its error; and axe
// finds nothing serious on the lobby and the table. Screenshots of a phone
// while a verdict shows and while chatting land in KIVOL_SCREENSHOT_DIR.
import assert from "node:assert/strict";
import { join } from "node:path";
import test from "node:test";
import { Page } from "playwright-core";

import {
    axeViolations, desktop, openPage, phone, shots, smallPhone, tableLink, typeName, withSession,
} from "./browser_session.js";
import { Level2Peer } from "./level2_peer.js";

/** The desktop player at a table with a game begun and two cards drawn. */
async function peerAt(port: number, table: string, key?: string): Promise<Level2Peer> {
    const peer = await Level2Peer.connect(port, "花子");
    await peer.join({ table, key });
    peer.send("/init");
    peer.send(`/draw ${peer.padded}`);
    peer.send(`/draw ${peer.padded}`);
    await peer.waitFor(text => text.startsWith(`/draw ${peer.padded} `), "the desktop player's draws");
    return peer;
}

/** Where every element that the selectors match lies on the page. */
async function boxes(page: Page, selectors: string[]): Promise<string> {
    return JSON.stringify(await page.evaluate(list => list.map(selector =>
        Array.from(document.querySelectorAll(selector)).flatMap(element => {
            const box = element.getBoundingClientRect();
            return box.width === 0 ? [] : [[box.x, box.y + window.scrollY, box.width, box.height]];
        })), selectors));
}

/** Every visible control narrower or lower than 44 px (inputs: lower only). */
async function smallTargets(page: Page): Promise<string[]> {
    return page.evaluate(() => Array.from(document.querySelectorAll("button, input")).flatMap(element => {
        const box = element.getBoundingClientRect();
        if (box.width === 0 || getComputedStyle(element).visibility === "hidden")
            return [];
        const small = box.height < 44 || (element.tagName === "BUTTON" && box.width < 44);
        return small ? [`${element.getAttribute("aria-label") ?? element.textContent} ${box.width}×${box.height}`] : [];
    }));
}

test("a reload resumes into the same entry and seats; a closed tab is a drop", async () => {
    await withSession(async ({ server, browser }) => {
        const peer = await peerAt(server.gamePort, "金曜");
        try {
            const { context, page, problems } = await openPage(browser, desktop);
            await typeName(page, server, "太郎");
            let from = peer.received.length;
            await page.goto(tableLink(server, "金曜"));
            await page.getByRole("button", { name: "席 3 座る" }).click();
            await peer.waitFor(text => text === "/take 2 太郎    ", "the browser player's seat", from);
            const roster = peer.received.filter(text => text.startsWith("/list ")).at(-1);

            from = peer.received.length;
            await page.reload();
            await peer.waitFor(text => text === "/back 太郎    ", "the browser player back", from);
            await page.getByRole("button", { name: "席 3 離席" }).waitFor();
            const after = peer.received.slice(from);
            assert.ok(!after.some(text => text.startsWith("/left") || text.startsWith("/fleav")), JSON.stringify(after));
            assert.equal(peer.received.filter(text => text.startsWith("/list ")).at(-1), roster);

            from = peer.received.length;
            await context.close();
            await peer.waitFor(text => text === "/away 太郎    ", "the closed tab away", from);
            assert.ok(!peer.received.slice(from).some(text => text.startsWith("/left")));
            assert.deepEqual(problems, []);
        } finally {
            peer.close();
        }
    });
});

test("a name back in a new tab within the grace: away once, its seat the new tab's, no mark after the grace", async () => {
    // Long enough for a loaded machine to open the table again, short enough to wait out.
    const grace = 8;
    await withSession(async ({ server, browser }) => {
        const peer = await peerAt(server.gamePort, "金曜");
        try {
            const crashed = await openPage(browser, desktop);
            await typeName(crashed.page, server, "太郎");
            await crashed.page.goto(tableLink(server, "金曜"));
            await crashed.page.getByRole("button", { name: "席 2 座る" }).click();
            await peer.waitFor(text => text === "/take 1 太郎    ", "the first tab's seat");
            // The new tab has its name typed before the first one goes: only
            // its join has to come within the grace.
            const { page, problems } = await openPage(browser, desktop);
            await typeName(page, server, "太郎");
            const from = peer.received.length;
            await crashed.context.close();
            await peer.waitFor(text => text === "/away 太郎    ", "the first tab away", from);
            await page.goto(tableLink(server, "金曜"));
            await page.getByRole("button", { name: "席 2 離席" }).waitFor();
            await page.locator(".roster li", { hasText: "太郎" }).nth(1).waitFor();
            await page.locator(".roster li.away").waitFor();
            assert.equal(await page.locator(".roster li.away").count(), 1);
            assert.equal(await page.locator("#seat-1-name.away").count(), 0, "the seat is the new tab's");

            await peer.waitFor(text => text === "/left 太郎    ", "the old entry's grace ends", from, (grace + 15) * 1000);
            await page.locator(".roster li.away").waitFor({ state: "detached" });
            assert.equal(await page.locator(".roster li", { hasText: "太郎" }).count(), 1);
            assert.equal(await page.locator("#seat-1-name.away").count(), 0);
            await page.locator("#seat-1-name", { hasText: "太郎" }).waitFor();
            assert.deepEqual(problems, []);
        } finally {
            peer.close();
        }
    }, grace);
});

test("a phone: nothing moves for a hit, the newest chat line beside the hit button, 44 px targets, no 座る on a held seat", async () => {
    await withSession(async ({ server, browser }) => {
        const peer = await peerAt(server.gamePort, "金曜");
        try {
            peer.send(`/take 0 ${peer.padded}`);
            const { page, problems } = await openPage(browser, smallPhone, { bypassCSP: true });
            await typeName(page, server, "太郎");
            assert.deepEqual(await smallTargets(page), [], "the lobby's targets");
            const lobby = await axeViolations(page, "lobby, phone");
            await page.goto(tableLink(server, "金曜"));
            await page.locator("#seat-0-name", { hasText: "花子" }).waitFor();
            assert.equal(await page.getByRole("button", { name: "席 1 座る" }).count(), 0, "another's seat offers no sit");
            await page.getByRole("button", { name: "席 2 座る" }).click();
            await page.getByRole("button", { name: "席 2 離席" }).waitFor();

            const hit = page.getByRole("button", { name: "叩く！ (H)" });
            const steady = [".field", ".slot", ".moves button", ".seat-actions button", ".chat-form input"];
            const before = await boxes(page, steady);
            const from = peer.received.length;
            await hit.click();
            await peer.waitFor(text => text.startsWith("/judge 太郎     "), "the browser player's verdict", from);
            await page.locator(".hit-banner", { hasText: "HIT!!" }).waitFor();
            await page.getByLabel("あなたの計算式").waitFor();
            await page.locator(".verdict:not(.unseen)").waitFor();
            assert.equal(await boxes(page, steady), before, "the field, the hit button, the seat buttons and the chat stay put");
            await page.screenshot({ path: join(shots, "table-phone-verdict.png") });
            const table = await axeViolations(page, "table in play, phone");

            for (let line = 1; line <= 8; ++line)
                peer.send(`${peer.padded}: 行 ${line}`);
            const newest = page.locator(".chat-log p").first();
            await newest.filter({ hasText: "行 8" }).waitFor();
            await page.evaluate(() => window.scrollTo(0, 0));
            for (const [what, box] of [["the hit button", await hit.boundingBox()], ["the newest line", await newest.boundingBox()]] as const)
                assert.ok(box && box.y >= 0 && box.y + box.height <= smallPhone.height, `${what} on the first screen: ${JSON.stringify(box)}`);
            await page.getByLabel("発言", { exact: true }).fill("いま叩きます");
            await page.screenshot({ path: join(shots, "table-phone-chatting.png") });
            assert.deepEqual(await smallTargets(page), [], "the table's targets");

            assert.deepEqual(lobby.serious, [], "the lobby on a phone");
            assert.deepEqual(table.serious, [], "the table on a phone");
            assert.deepEqual(problems, []);
        } finally {
            peer.close();
        }
    });
});

test("a character the wire cannot carry keeps the text, marked; other systems' wave dash goes through", async () => {
    await withSession(async ({ server, browser }) => {
        const peer = await peerAt(server.gamePort, "金曜");
        try {
            const { page, problems } = await openPage(browser, desktop, { bypassCSP: true });
            await typeName(page, server, "太郎");
            await page.goto(tableLink(server, "金曜"));
            const chat = page.getByLabel("発言", { exact: true });
            await chat.fill("よろしく🙂です");
            await chat.press("Enter");
            await page.getByRole("alert").filter({ hasText: "「🙂」は送れない文字です" }).waitFor();
            await page.getByRole("button", { name: "OK" }).click();
            assert.equal(await chat.inputValue(), "よろしく🙂です");
            assert.deepEqual(await chat.evaluate((input: HTMLInputElement) => [input.selectionStart, input.selectionEnd]), [4, 6]);
            assert.equal(await chat.getAttribute("aria-invalid"), "true");

            const from = peer.received.length;
            await chat.fill("波\u301cです");
            await chat.press("Enter");
            await peer.waitFor(text => text === "太郎    : 波\uff5eです", "the wave dash as code page 932's own", from);
            assert.equal(await chat.inputValue(), "");
            assert.equal(await chat.getAttribute("aria-invalid"), null);

            const table = await axeViolations(page, "table in play, desktop");
            assert.deepEqual(table.serious, [], "the table on a desktop");
            assert.deepEqual(problems, []);
        } finally {
            peer.close();
        }
    });
});

test("a private table's link is copied at the table and joined by a guest with 参加", async () => {
    await withSession(async ({ server, browser }) => {
        const peer = await peerAt(server.gamePort, "秘密", "open-sesame");
        try {
            const link = tableLink(server, "秘密", "#key=open-sesame");
            const host = await openPage(browser, desktop, { permissions: ["clipboard-read", "clipboard-write"] });
            await typeName(host.page, server, "太郎");
            await host.page.goto(link);
            await host.page.locator(".field img").nth(1).waitFor();
            await host.page.getByRole("button", { name: "このテーブルのリンクをコピー" }).click();
            await host.page.getByRole("alert").filter({ hasText: "リンクをコピーしました" }).waitFor();
            assert.equal(await host.page.evaluate(() => navigator.clipboard.readText()), link);

            const guest = await openPage(browser, phone);
            await guest.page.goto(link);
            await guest.page.getByLabel("名前").fill("次郎");
            const from = peer.received.length;
            await guest.page.getByRole("button", { name: "秘密 に参加" }).click();
            await peer.waitFor(text => text === "/join 次郎    ", "the guest's join", from);
            await guest.page.locator(".field img").nth(1).waitFor();
            assert.deepEqual([...host.problems, ...guest.problems], []);
        } finally {
            peer.close();
        }
    });
});

test("a corrected field loses its error at once; axe finds nothing serious on the lobby", async () => {
    await withSession(async ({ server, browser }) => {
        const { page, problems } = await openPage(browser, desktop, { bypassCSP: true });
        await typeName(page, server, "太郎");
        await page.getByLabel("テーブル名").fill("金 曜");
        await page.getByRole("button", { name: "作って参加" }).click();
        const error = page.locator("#table-error");
        assert.match(await error.textContent() ?? "", /テーブル名は/);
        await page.getByLabel("テーブル名").fill("金曜");
        assert.equal(await error.textContent(), "");
        const lobby = await axeViolations(page, "lobby, desktop");
        assert.deepEqual(lobby.serious, [], "the lobby on a desktop");
        assert.deepEqual(problems, []);
    });
});
