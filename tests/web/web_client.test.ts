// The browser client's own rules where the desktop model has no counterpart:
// the code page 932 encoder built from the browser's decoder, the name check,
// the join frame, the listing rows, the reconnection schedule, the model's
// events for the page, and the web root the build writes.
import assert from "node:assert/strict";
import { createHash } from "node:crypto";
import { readFileSync, readdirSync } from "node:fs";
import { join } from "node:path";
import test from "node:test";

import { byteLength, decode, encode, unwritableCharacter } from "../../web/src/cp932.js";
import { Command, announcementText, nameProblem, paddedName, readRefused, readTableRow } from "../../web/src/protocol.js";
import { Clock, Reconnector } from "../../web/src/reconnector.js";
import { TableModel } from "../../web/src/table_model.js";

test("every double-byte code decodes to a character that encodes back to one code of the same text", () => {
    let codes = 0;
    for (let lead = 0x81; lead <= 0xfc; ++lead) {
        for (let trail = 0x40; trail <= 0xfc; ++trail) {
            const character = decode(String.fromCharCode(lead, trail));
            if (character.length !== 1 || character === "\ufffd")
                continue;
            ++codes;
            const bytes = encode(character);
            assert.equal(bytes.length, 2, `0x${lead.toString(16)}${trail.toString(16)}`);
            assert.equal(decode(bytes), character);
        }
    }
    assert.ok(codes > 7000, `${codes} codes`);
    // A character with two codes is written as Windows writes it: the IBM extension, not the NEC-selected one.
    assert.equal(encode("\u2170"), "\xfa\x40");  // ⅰ
    assert.equal(encode("\uff5e"), "\x81\x60");  // ～
    // What other systems' input methods give for Windows' codes is written with those codes.
    assert.equal(encode("\u301c\u2016\u2212\u00a2\u00a3\u00ac\u2014\u00a6"),
        "\x81\x60\x81\x61\x81\x7c\x81\x91\x81\x92\x81\xca\x81\x5c\xfa\x55");
    assert.equal(unwritableCharacter("\u301c"), undefined);
});

test("names: 1 to 8 bytes of code page 932, no slash first", () => {
    assert.equal(byteLength("ﾊﾅｺ太郎"), 7);
    assert.equal(nameProblem("太郎花子"), undefined);
    assert.equal(nameProblem("ｱｲｳｴｵｶｷｸ"), undefined);
    assert.deepEqual(nameProblem("太郎花子a"), { kind: "long" });
    assert.deepEqual(nameProblem(""), { kind: "empty" });
    assert.deepEqual(nameProblem("/me"), { kind: "slash" });
    assert.deepEqual(nameProblem("a😀"), { kind: "character", character: "😀" });
    assert.equal(unwritableCharacter("Grüße"), "ü");
    // Padding counts bytes, not characters.
    assert.equal(decode(paddedName(encode("太郎"))), "太郎    ");
    assert.equal(decode(paddedName(encode("ﾊﾅｺ"))), "ﾊﾅｺ     ");
});

test("the join frame, a listing row and a refusal", () => {
    const join = `${Command.Join} ${decode(paddedName(encode("太郎")))}\0${announcementText({ table: "金曜", watch: false })}`;
    assert.equal(join, "/join 太郎    \0KIVOL/2 TABLE=金曜");
    assert.equal(announcementText({ table: "", watch: true, key: "k1", resumeToken: "0".repeat(32) }),
        `KIVOL/2 RESUME=${"0".repeat(32)} KEY=k1 WATCH`);
    assert.deepEqual(readTableRow("/tables row 3 2 0 1 "), { players: 3, seated: 2, watchers: 0, game: true, name: "" });
    assert.deepEqual(readTableRow("/tables row 1 0 4 0 金曜"), { players: 1, seated: 0, watchers: 4, game: false, name: "金曜" });
    assert.equal(readTableRow("/tables row x 0 4 0 a"), undefined);
    assert.deepEqual(readRefused("/refused key このテーブルには鍵が必要です"), { reason: "key", text: "このテーブルには鍵が必要です" });
});

class ManualClock implements Clock {
    time = 0;
    private timers = new Map<number, { due: number; callback: () => void }>();
    private next = 1;
    now() { return this.time; }
    setTimeout(callback: () => void, ms: number) {
        this.timers.set(this.next, { due: this.time + ms, callback });
        return this.next++;
    }
    clearTimeout(handle: number) { this.timers.delete(handle); }
    /** Moves to the next timer and runs it; the wait in seconds. */
    runNext(): number {
        const [handle, timer] = [...this.timers].sort((a, b) => a[1].due - b[1].due)[0];
        this.timers.delete(handle);
        const waited = (timer.due - this.time) / 1000;
        this.time = timer.due;
        timer.callback();
        return waited;
    }
    get pending() { return this.timers.size; }
}

test("reconnection: waits of 1, 2, 4, 8, 16, then 30 s until the grace period ends", () => {
    const clock = new ManualClock();
    const reconnector = new Reconnector(clock);
    let attempts = 0;
    reconnector.onAttempt = () => {
        ++attempts;
        reconnector.attemptFailed();
    };
    reconnector.start(120);
    const waits: number[] = [];
    while (clock.pending > 0)
        waits.push(clock.runNext());
    // 1+2+4+8+16+30+30 = 91 s; the next attempt at 121 s would fall after the grace period.
    assert.deepEqual(waits, [1, 2, 4, 8, 16, 30, 30]);
    assert.equal(attempts, 7);
    assert.ok(!reconnector.active && reconnector.gaveUp);

    // With no grace period it keeps trying; a stop ends it without giving up.
    reconnector.start(0);
    for (let i = 0; i < 20; ++i)
        clock.runNext();
    assert.ok(reconnector.active && reconnector.waitSeconds === 30);
    reconnector.stop();
    assert.equal(clock.pending, 0);
    assert.ok(!reconnector.active && !reconnector.gaveUp);
});

test("the web root: index.html names hashed files that exist, and every module imports hashed names", () => {
    const root = process.env.KIVOL_WEB_ROOT;
    assert.ok(root, "KIVOL_WEB_ROOT names the built web root");
    const assets = readdirSync(join(root, "assets"));
    for (const file of assets) {
        const match = /^[\w-]+\.([0-9a-f]{8,})\.\w+$/.exec(file);
        assert.ok(match, `${file} carries a hash`);
        const content: Buffer = readFileSync(join(root, "assets", file));
        assert.equal(createHash("sha256").update(content).digest("hex").slice(0, match[1].length), match[1], file);
        if (file.endsWith(".js"))
            for (const [, imported] of content.toString().matchAll(/from\s*"\.\/([^"]+)"/g))
                assert.ok(assets.includes(imported), `${file} imports ${imported}`);
    }
    const page = readFileSync(join(root, "index.html"), "utf8");
    const referenced = [...page.matchAll(/(?:src|href)="\/assets\/([^"]+)"/g)].map(m => m[1]);
    assert.equal(referenced.length, 3);
    for (const file of referenced)
        assert.ok(assets.includes(file), file);
    assert.doesNotMatch(page, /<script>|<style|style=/, "no inline script or style");
    for (let card = 1; card <= 54; ++card)
        assert.ok(assets.some(f => f.startsWith(`${String(card).padStart(2, "0")}.`) && f.endsWith(".png")));
});

test("events: a sync block rebuilds silently; live commands ask for sounds, lines and the hit display", () => {
    const me = paddedName(encode("太郎"));
    const model = new TableModel(me);
    const kinds = (text: string) => model.receive(encode(text)).map(e => e.kind);
    assert.deepEqual(kinds(`/state begin ${"a".repeat(32)} 120`), []);
    assert.deepEqual(kinds("/init"), []);
    assert.deepEqual(kinds("/draw 花子     07"), []);
    assert.deepEqual(kinds("/hit 花子     2026/12/08 18:00:00"), []);
    assert.deepEqual(kinds("/set 花子     24"), ["target"]);
    assert.deepEqual(kinds("/state end"), ["synced"]);
    assert.deepEqual(kinds("/draw 花子     08"), ["drawn"]);
    assert.deepEqual(kinds("/draw 花子     999"), []);
    assert.deepEqual(model.receive(encode("/hit 花子     2026/12/08 18:00:01")),
        [{ kind: "hit", text: encode("花子     2026/12/08 18:00:01") }]);
    assert.deepEqual(kinds("/kill 花子    "), []);
    assert.deepEqual(kinds(`/kill ${decode(me)}`), ["killed"]);
    assert.deepEqual(kinds("/join 花子    "), ["joined"]);
    assert.deepEqual(kinds("花子    : やあ"), ["chat"]);
    assert.deepEqual(kinds("/whatever"), ["unknown"]);
    // The answer box sends only for this player's own judged hit, at most 200 bytes.
    assert.equal(model.answer(encode("1+2")), undefined);
    model.receive(encode(`/judge ${decode(me)} Y 1 2*12`));
    assert.equal(decode(model.answer(encode("2*12"))!), `/answer ${decode(me)} 2*12`);
    assert.equal(model.answer("1".repeat(201)), undefined);
});
