// A dealt game as the "/game" lines of a level-2 server tell it: who hosts
// it and with which fields, the round, the computer players and their levels,
// an open answer with its deadline, the latest take or penalty, and the
// standings at the end. No page: the table model feeds it the lines and the
// time they arrived; the views read it. Names are padded byte strings.
import { Bytes } from "./cp932.js";
import { PaddedNameLength } from "./protocol.js";

export const GameWord = "/game";
export const DealWord = "/deal";

/** What "/deal NAME start" is given; もう一局 sends the same again. */
export interface GameFields {
    target: number | "random";
    pace: number;
    answer: number;
    bots: number;
    level: number;
}

export const DefaultFields: GameFields = { target: 47, pace: 5, answer: 20, bots: 0, level: 3 };
export const FieldRanges = {
    target: [1, 999], pace: [1, 60], answer: [5, 120], bots: [0, 5], level: [1, 5],
} as const;

export type PenaltyReason = "wrong" | "answer" | "time";

export interface Standing {
    place: number;
    cards: number;
    name: Bytes;
}

/** What a "/game" line asks of the page besides rendering. */
export type GameEvent =
    | { kind: "gameStarted" }
    | { kind: "answerOpened"; name: Bytes }
    | { kind: "gameEnded" }
    | { kind: "gameRefused"; text: Bytes };

function inRange(value: number, [low, high]: readonly [number, number]): boolean {
    return Number.isInteger(value) && value >= low && value <= high;
}

/** The fields' problem, by field name, or undefined when the server would take them. */
export function fieldsProblem(fields: GameFields): keyof GameFields | undefined {
    if (fields.target !== "random" && !inRange(fields.target, FieldRanges.target))
        return "target";
    for (const key of ["pace", "answer", "bots", "level"] as const)
        if (!inRange(fields[key], FieldRanges[key]))
            return key;
    return undefined;
}

/** The fields as "/deal" words: " TARGET=47 PACE=5 ANSWER=20 BOTS=0 LEVEL=3". */
export function fieldsText(fields: GameFields): string {
    return ` TARGET=${fields.target} PACE=${fields.pace} ANSWER=${fields.answer} BOTS=${fields.bots} LEVEL=${fields.level}`;
}

const number = (text: string | undefined) => (text !== undefined && /^\d{1,9}$/.test(text) ? Number(text) : NaN);

export class DealtGame {
    running = false;
    host: Bytes = "";
    fields: GameFields = { ...DefaultFields };
    round = 0;
    /** The computer players of the latest game, by padded name, with their levels. */
    readonly bots = new Map<Bytes, number>();
    /** The hitter whose answer is awaited and when the wait ends (the page's clock, ms). */
    answer: { name: Bytes; until: number } | null = null;
    /** The latest penalty of the running game, shown until the next round. */
    penalty: { name: Bytes; why: PenaltyReason } | null = null;
    /** The standings of the game that ended last, until the next starts. */
    standings: Standing[] | null = null;
    endReason = "";
    private results: Standing[] = [];

    /** A "/game" line received at the time now (ms); undefined when the line is not one. */
    receive(text: Bytes, now: number): GameEvent[] | undefined {
        if (!text.startsWith(GameWord + " "))
            return undefined;
        const rest = text.substring(GameWord.length + 1);
        const space = rest.indexOf(" ");
        const word = space < 0 ? rest : rest.substring(0, space);
        const after = space < 0 ? "" : rest.substring(space + 1);
        // Most lines carry a padded name first, the numbers after it.
        const name = after.substring(0, PaddedNameLength);
        const numbers = after.substring(PaddedNameLength + 1).split(" ");
        switch (word) {
        case "start":
        case "state":
            return this.started(word, name, numbers);
        case "bot":
            if (!Number.isNaN(number(numbers[0])))
                this.bots.set(name, number(numbers[0]));
            this.fields.bots = this.bots.size;
            this.fields.level = number(numbers[0]) || this.fields.level;
            return [];
        case "round":
            this.round = number(after) || this.round;
            this.answer = null;
            this.penalty = null;
            return [];
        case "answer": {
            const seconds = number(numbers[0]);
            if (Number.isNaN(seconds))
                return [];
            this.answer = { name, until: now + seconds * 1000 };
            return [{ kind: "answerOpened", name }];
        }
        case "take":
            this.answer = null;
            return [];
        case "penalty":
            if (this.answer?.name === name)
                this.answer = null;
            if (numbers[0] === "wrong" || numbers[0] === "answer" || numbers[0] === "time")
                this.penalty = { name, why: numbers[0] };
            return [];
        case "result":
            return this.result(after);
        case "end":
            this.running = false;
            this.answer = null;
            this.penalty = null;
            this.standings = this.results;
            this.results = [];
            this.endReason = after;
            return [{ kind: "gameEnded" }];
        case "refused":
            return [{ kind: "gameRefused", text: after }];
        default:
            return [];
        }
    }

    // "/game start " host " " target " " pace " " answer [" " round]
    private started(word: string, host: Bytes, numbers: string[]): GameEvent[] {
        const [target, pace, answer, round] = numbers;
        const fixed = number(target);
        if ((target !== "random" && Number.isNaN(fixed)) || Number.isNaN(number(pace)) || Number.isNaN(number(answer)))
            return [];
        this.running = true;
        this.host = host;
        this.fields = { ...this.fields, target: target === "random" ? "random" : fixed, pace: number(pace),
            answer: number(answer), bots: 0 };
        this.round = word === "state" ? number(round) || 0 : 0;
        this.bots.clear();
        this.answer = null;
        this.penalty = null;
        this.standings = null;
        this.results = [];
        return word === "start" ? [{ kind: "gameStarted" }] : [];
    }

    // "/game result " place " " cards " " name
    private result(after: Bytes): GameEvent[] {
        const match = /^(\d+) (\d+) ([\s\S]*)$/.exec(after);
        if (match)
            this.results.push({ place: Number(match[1]), cards: Number(match[2]), name: match[3] });
        return [];
    }

    isBot(name: Bytes): boolean {
        return this.bots.has(name);
    }

    /** Whole seconds left of the open answer at the time now, never below 0. */
    secondsLeft(now: number): number {
        return this.answer ? Math.max(0, Math.ceil((this.answer.until - now) / 1000)) : 0;
    }

    /** The player may stop the game: it is the host, or the host left every seat. */
    mayStop(name: Bytes, seated: (name: Bytes) => boolean): boolean {
        return this.running && seated(name) && (this.host === name || !seated(this.host));
    }
}
