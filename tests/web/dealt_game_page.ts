// A dealt game as the page shows it, read and played as a person would in
// Chromium: the field, target, round, countdown and standings the page shows,
// waiting for the next full field, hitting, typing the calculation into the
// answer box that took the focus, and the standings checked against the deck.
import assert from "node:assert/strict";
import { Page } from "playwright-core";

import { solveField } from "./field_solver.js";

export const CardCount = 54;
/** The longest a round of twelve cards at one second each, its pause and a stalled field can take, with room for a loaded machine. */
export const TurnMs = 60000;

export interface Board {
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
export async function board(page: Page): Promise<Board> {
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
export async function fitsWidth(page: Page, what: string): Promise<void> {
    const [scroll, width] = await page.evaluate(() => [document.documentElement.scrollWidth, window.innerWidth]);
    assert.ok(scroll <= width, `${what}: ${scroll} px wide in a ${width} px window`);
}

/** Waits until the standings show, or the field is all there will be (twelve cards, or the pile is out) and no answer is open. */
export async function nextTurn(page: Page): Promise<Board> {
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
export async function fieldChanged(page: Page, before: Board): Promise<void> {
    const first = await page.evaluate(() => document.querySelector(".field img")?.getAttribute("src") ?? "");
    await page.waitForFunction(([count, src]) => {
        const images = document.querySelectorAll(".field img");
        return !!document.querySelector(".standings:not([hidden])") || images.length !== count ||
            (images[0]?.getAttribute("src") ?? "") !== src;
    }, [before.values.length, first] as const, { timeout: TurnMs });
}

/** The page's player's penalties so far: the dealer's chat says each; the strip shows only the latest. */
export function penalties(page: Page): Promise<number> {
    return page.evaluate(() => Array.from(document.querySelectorAll(".chat-log p"))
        .filter(line => line.textContent?.startsWith("【親】太郎 お手つき")).length);
}

/** Waits until the page shows the condition or a penalty of its player beyond the given count. */
export async function untilOrPenalised(page: Page, condition: string, before: number): Promise<void> {
    await page.waitForFunction(([condition, before]) => !!document.querySelector(condition) ||
        Array.from(document.querySelectorAll(".chat-log p"))
            .filter(line => line.textContent?.startsWith("【親】太郎 お手つき")).length > before,
    [condition, before] as const);
}

/**
 * The page's player hits; resolves with its answer open and the answer box
 * focused, with its penalty, or with another player's answer open (who hit first).
 */
export async function hitFromPage(page: Page): Promise<"answer" | "penalty" | "other"> {
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
export async function answerFromPage(page: Page, calculation: string): Promise<void> {
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
export async function playToStandings(page: Page, play: (turn: Board, calculation: string) => Promise<void>): Promise<Board> {
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
export async function checkStandings(page: Page, players: number): Promise<string[]> {
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


/** Starts a game from the fresh table's greeting 対局を始める with a fixed target, seconds between cards and to answer. */
export async function startFromGreeting(page: Page, target: number, pace: number, answer: number): Promise<void> {
    await page.locator(".greeting").getByRole("button", { name: "対局を始める" }).click();
    await page.getByRole("heading", { name: "対局の設定" }).waitFor();
    await page.getByLabel("目標数（1～999）").fill(String(target));
    await page.getByLabel("配札の間隔（秒、1～60）").fill(String(pace));
    await page.getByLabel("解答時間（秒、5～120）").fill(String(answer));
    await page.getByRole("button", { name: "開始" }).click();
}
