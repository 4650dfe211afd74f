// What the browser tests against the real kivolsrv share: the server and a
// Chromium for one test, pages in fresh contexts that collect script errors,
// the lobby's name, table links, and axe's accessibility check of a page.
import assert from "node:assert/strict";
import { mkdirSync } from "node:fs";
import { createRequire } from "node:module";
import { Browser, BrowserContext, BrowserContextOptions, Page, chromium } from "playwright-core";

import { RealServer, startRealServer } from "./real_server.js";

export const program = process.env.KIVOL_SERVER ?? "";
export const webRoot = process.env.KIVOL_WEB_ROOT ?? "";
export const shots = process.env.KIVOL_SCREENSHOT_DIR ?? "";
export const waitMs = 15000;
export const desktop = { width: 1280, height: 800 };
export const phone = { width: 390, height: 844 };
/** The smallest phone the page is made for, held upright. */
export const smallPhone = { width: 360, height: 640 };

export interface Session {
    server: RealServer;
    browser: Browser;
}

export async function withSession(run: (session: Session) => Promise<void>, grace = 120,
                                  serverArguments: string[] = []): Promise<void> {
    assert.ok(program && webRoot && shots, "KIVOL_SERVER, KIVOL_WEB_ROOT and KIVOL_SCREENSHOT_DIR are set");
    mkdirSync(shots, { recursive: true });
    const server = await startRealServer(program, webRoot,
        ["--grace", String(grace), "--solver-limit", "1000", ...serverArguments]);
    try {
        const browser = await chromium.launch({
            executablePath: "/usr/bin/chromium",
            args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--no-first-run"],
        });
        try {
            await run({ server, browser });
        } finally {
            await browser.close();
        }
    } catch (error) {
        throw new Error(`${(error as Error).stack}\nkivolsrv's log:\n${server.output()}`);
    } finally {
        await server.stop();
    }
}

/** A page in a fresh context; script errors and console errors are collected in problems. */
export async function openPage(browser: Browser, viewport: { width: number; height: number },
                               options: BrowserContextOptions = {}):
    Promise<{ context: BrowserContext; page: Page; problems: string[] }> {
    const context = await browser.newContext({ viewport, locale: "ja-JP", ...options });
    const page = await context.newPage();
    page.setDefaultTimeout(waitMs);
    const problems: string[] = [];
    page.on("console", message => {
        if (message.type() === "error")
            problems.push(message.text());
    });
    page.on("pageerror", error => problems.push(error.message));
    return { context, page, problems };
}

/** The lobby at "/", where the player's name is typed (the page keeps it for the table links). */
export async function typeName(page: Page, server: RealServer, name: string): Promise<void> {
    await page.goto(server.url + "/");
    await page.getByRole("rowheader", { name: "メインテーブル" }).waitFor();
    await page.getByLabel("名前").fill(name);
}

export function tableLink(server: RealServer, table: string, hash = ""): string {
    return `${server.url}/t/${encodeURIComponent(table)}${hash}`;
}

const axeScript = createRequire(import.meta.url).resolve("axe-core/axe.min.js");

/**
 * axe-core's violations on the page as it stands, by impact. The page's
 * context must bypass the page's Content-Security-Policy (bypassCSP), which
 * keeps out the injected script otherwise. Each is also logged, for the record.
 */
export async function axeViolations(page: Page, what: string): Promise<{ counts: Record<string, number>; serious: string[] }> {
    await page.addScriptTag({ path: axeScript });
    const violations: { id: string; impact: string; nodes: { target: string[] }[] }[] = await page.evaluate(async () => {
        const axe = (window as unknown as { axe: { run(): Promise<{ violations: unknown[] }> } }).axe;
        return (await axe.run()).violations as never;
    });
    const counts: Record<string, number> = { minor: 0, moderate: 0, serious: 0, critical: 0 };
    for (const v of violations)
        counts[v.impact] = (counts[v.impact] ?? 0) + 1;
    console.log(`axe ${what}: ${JSON.stringify(counts)} ${violations.map(v => v.id).join(" ")}`);
    const serious = violations.filter(v => v.impact === "serious" || v.impact === "critical")
        .map(v => `${v.id} at ${v.nodes.map(n => n.target.join(" ")).join(", ")}`);
    return { counts, serious };
}
