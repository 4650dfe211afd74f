// The built page in Chromium against a scripted stand-in of the server: the
// lobby lists the tables, a join shows the table the sync block rebuilt, the
// hit key hits, the language switch switches, a dropped connection comes back
// with its token, and no script error or content-security violation occurs;
// screenshots of both screens at a desktop and a phone size land in
// KIVOL_SCREENSHOT_DIR.
import assert from "node:assert/strict";
import { mkdirSync } from "node:fs";
import { join } from "node:path";
import test from "node:test";
import { chromium } from "playwright-core";

import { startPageServer } from "./page_server.js";

const chromiumPath = "/usr/bin/chromium";
// Polls the condition until it holds, for at most the given time.
async function waitUntil(condition: () => boolean, what: string, milliseconds = 10000): Promise<void> {
    const deadline = Date.now() + milliseconds;
    while (!condition()) {
        assert.ok(Date.now() < deadline, `waiting for ${what}`);
        await new Promise(resolve => setTimeout(resolve, 20));
    }
}

const sizes = [{ name: "desktop", width: 1280, height: 800 }, { name: "phone", width: 390, height: 844 }];

test("the lobby and a table in Chromium, at a desktop and a phone size", async () => {
    const webRoot = process.env.KIVOL_WEB_ROOT;
    const shots = process.env.KIVOL_SCREENSHOT_DIR;
    assert.ok(webRoot && shots, "KIVOL_WEB_ROOT and KIVOL_SCREENSHOT_DIR are set");
    mkdirSync(shots, { recursive: true });
    const server = await startPageServer(webRoot);
    const browser = await chromium.launch({
        executablePath: chromiumPath,
        args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--no-first-run"],
    });
    try {
        for (const size of sizes) {
            const context = await browser.newContext({ viewport: size, locale: "ja-JP" });
            const page = await context.newPage();
            const problems: string[] = [];
            page.on("console", message => {
                if (message.type() === "error")
                    problems.push(message.text());
            });
            page.on("pageerror", error => problems.push(error.message));

            await page.goto(server.url + "/");
            await page.getByRole("rowheader", { name: "金曜" }).waitFor({ timeout: 10000 });
            await page.getByLabel("名前").fill("太郎");
            await page.screenshot({ path: join(shots, `lobby-${size.name}.png`), fullPage: true });

            await page.getByRole("button", { name: "金曜 に参加" }).click();
            await page.getByText("よろしく！").waitFor({ timeout: 10000 });
            assert.equal(new URL(page.url()).pathname, "/t/%E9%87%91%E6%9B%9C");
            assert.equal(await page.locator(".pile-count").textContent(), "50");
            assert.equal(await page.locator(".field img").count(), 3);
            assert.equal(await page.getByRole("button", { name: "離席" }).count(), 1);
            assert.ok(server.received.includes("/join 太郎    \0KIVOL/2 TABLE=金曜"), JSON.stringify(server.received));

            await page.keyboard.press("h");
            await waitUntil(() => server.received.includes("/hit 太郎    \0"), "the hit key's /hit");
            await page.getByText("作れます　一番乗り 太郎").waitFor({ timeout: 10000 });
            await page.getByRole("button", { name: "答えを見る" }).click();
            await page.getByText("12+(53-41)").waitFor({ timeout: 10000 });
            await page.screenshot({ path: join(shots, `table-${size.name}.png`), fullPage: true });
            if (size.name === "desktop") {
                await page.getByRole("button", { name: "Switch to English" }).click();
                await page.getByRole("button", { name: "Hit! (H)" }).waitFor({ timeout: 10000 });
                await page.getByRole("button", { name: "日本語に切り替える" }).click();

                // A drop: the page says it is reconnecting and resumes with the sync block's token.
                server.drop();
                await page.getByText("再接続中…", { exact: false }).waitFor({ timeout: 10000 });
                const resume = "/join 太郎    \0KIVOL/2 RESUME=0123456789abcdef0123456789abcdef TABLE=金曜";
                await waitUntil(() => server.received.includes(resume), "the resuming join");
                await page.getByText("再接続中…", { exact: false }).waitFor({ state: "hidden", timeout: 10000 });
            }
            assert.deepEqual(problems, []);
            await context.close();
        }
    } finally {
        await browser.close();
        await server.close();
    }
});
