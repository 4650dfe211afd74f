// Replays the game that kivol_web_fixture played through the desktop client's
// table model into the browser's model and compares the state after every
// step: the commands received, the buttons pressed and what they sent.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import test from "node:test";

import { decode, encode } from "../../web/src/cp932.js";
import { Action, TableModel } from "../../web/src/table_model.js";

interface Step {
    receive?: string;
    act?: string;
    seat?: number;
    sent?: string[];
    refusal?: string;
    error: boolean;
    state: unknown;
}

function text(bytes: string | null): string | null {
    return bytes === null ? null : decode(bytes);
}

// The browser model's state in the fixture's shape.
function state(model: TableModel): unknown {
    const t = model.table;
    const j = model.judgement;
    return {
        shown: t.shown, pile: t.pile, field: t.field.map(c => [decode(c.number), decode(c.drawer)]),
        occupants: t.occupants.map(text), hands: t.hands, target: text(t.target), setter: decode(t.setter),
        own: model.own, hit: model.hitShown, roster: model.roster.map(decode),
        away: model.roster.filter((_, index) => model.isAwayEntry(index)).map(decode),
        awaySeats: t.occupants.map(occupant => !!occupant && model.isAway(occupant)),
        judgement: j && { hitter: decode(j.hitter), verdict: j.verdict, first: j.first, expression: decode(j.expression),
            expressionShown: j.expressionShown },
        level2: model.level2, token: model.token,
    };
}

function press(model: TableModel, act: string, seat: number): Action | undefined {
    switch (act) {
    case "take": return model.sitOrStand(seat);
    case "fieldToHand": return model.fieldToHand(seat);
    case "handToPile": return model.handToPile(seat);
    case "fieldToPile": return model.fieldToPile();
    case "draw": return model.draw();
    case "leave": return { send: model.leaveSequence() };
    case "showExpression": model.showExpression(); return undefined;
    case "endHit": model.endHit(); return undefined;
    case "startOver": model.startOver(); return undefined;
    }
    throw new Error(`unknown act ${act}`);
}

test("the browser's table model agrees with the desktop client's at every step", () => {
    const path = process.env.KIVOL_WEB_FIXTURE;
    assert.ok(path, "KIVOL_WEB_FIXTURE names the fixture");
    const steps: Step[] = JSON.parse(readFileSync(path, "utf8"));
    assert.ok(steps.length >= 1000);
    const model = new TableModel(encode("太郎    "));
    steps.forEach((step, index) => {
        const where = `step ${index}: ${JSON.stringify(step.receive ?? step.act)}`;
        if (step.receive !== undefined) {
            let failed = false;
            try {
                model.receive(encode(step.receive));
            } catch {
                failed = true;
            }
            assert.equal(failed, step.error, `${where}: error`);
        } else {
            const action = press(model, step.act!, step.seat ?? 0);
            const sent = action && "send" in action ? action.send.map(decode) : [];
            const refusal = action && "refuse" in action ? action.refuse : "";
            assert.deepEqual({ sent, refusal }, { sent: step.sent, refusal: step.refusal }, `${where}: outcome`);
        }
        assert.deepEqual(state(model), step.state, where);
    });
});
