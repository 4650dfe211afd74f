// The table as the server's commands drew it, without any page: the pile,
// the field with its drawers, the seats and hands, the target, the seats this
// player holds, the "HIT!!" flash, the roster with its away marks and the
// judgement of the latest hit. The view renders it; the buttons ask it what
// to send. Every text here is a byte string in code page 932.
import { Bytes } from "./cp932.js";
import { DealWord, DealtGame, GameEvent, GameFields, fieldsText } from "./dealt_game.js";
import {
    Command, Layout, PaddedNameLength, Prefix, TokenLength, field, fieldFrom, isCommand, isToken, nameField,
    readNameKey, splitRosterText,
} from "./protocol.js";

export const SeatCount = 6;
export const SlotCount = 12;
/** The pile where it is not known yet: a draw counts down from a full pile. */
export const FullPile = 54;
/** The longest calculation a hitter may send, in bytes. */
export const AnswerBytes = 200;
const NoCardDigits = "99";

export interface FieldCard {
    number: Bytes;  // two digits, "01" to "54"
    drawer: Bytes;  // padded name
}

export interface TableState {
    /** A new game was started since connecting: the table shows. */
    shown: boolean;
    /** Cards in the pile; null before the first game. */
    pile: number | null;
    field: FieldCard[];
    /** Each seat's padded occupant, "" when free; null before the first game. */
    occupants: (Bytes | null)[];
    hands: number[];
    /** The target text as last set; null since a new game began, "" before the first game. */
    target: Bytes | null;
    setter: Bytes;
}

export type Verdict = "Y" | "N" | "?";

export interface Judgement {
    hitter: Bytes;
    verdict: Verdict;
    first: boolean;
    expression: Bytes;
    /** The player asked for the expression, or the hitter's answer was judged. */
    expressionShown: boolean;
}

/** What a received command asks of the page besides the model's change. */
export type TableEvent =
    | { kind: "joined"; name: Bytes }
    | { kind: "left"; name: Bytes }
    | { kind: "chat"; line: Bytes }
    | { kind: "drawn" }
    | { kind: "hit"; text: Bytes }
    | { kind: "target"; text: Bytes }
    | { kind: "hele" }
    | { kind: "killed" }
    | { kind: "roster" }
    | { kind: "synced" }
    | { kind: "unknown" }
    /** The server registered the name: its key, given once. */
    | { kind: "nameKey"; name: Bytes; key: string }
    | GameEvent;

/** What a button sends, or why it sends nothing (a key of the texts). */
export type Action = { send: Bytes[] } | { refuse: RefusalKey };
export type RefusalKey = "seatTaken" | "noFieldCard" | "noHandCard" | "noFieldCardToReturn" | "cannotDraw" |
    "noFreeSeat";

/** A seat field that is not a digit, as the desktop client raises it. */
export class SeatFieldError extends Error {}

const judgedLineOpening = "\x81\x79\x94\xbb\x92\xe8\x81\x7a";  // "【判定】"

function emptyTable(): TableState {
    return {
        shown: false, pile: null, field: [], occupants: Array(SeatCount).fill(null),
        hands: Array(SeatCount).fill(0), target: "", setter: "",
    };
}

function seatNumber(text: Bytes, position: number): number {
    const digit = field(text, position, 1);
    if (digit < "0" || digit > "9" || digit.length !== 1)
        throw new SeatFieldError(`not a seat: ${JSON.stringify(digit)}`);
    return Number(digit);
}

function namesSeatOffTable(text: Bytes, position: number): boolean {
    const digit = field(text, position, 1);
    return digit >= "6" && digit <= "9";
}

const tableWords = [Command.Take, Command.Leave, Command.FLeave, Command.Draw, Command.B2T, Command.T2Y,
    Command.B2Y, Command.Hit, Command.Init, Command.Set];

export class TableModel {
    table: TableState = emptyTable();
    own: boolean[] = Array(SeatCount).fill(false);
    hitShown = false;
    /** How many roster entries of each name are away. */
    private awayCounts = new Map<Bytes, number>();
    judgement: Judgement | null = null;
    roster: Bytes[] = [];
    /** The server sent a sync block: it speaks level 2. */
    level2 = false;
    /** A sync block is being applied: no sound, chat line or flash. */
    syncing = false;
    token = "";
    graceSeconds = 0;
    readonly game = new DealtGame();

    /** playerName: this player's padded name; now: the page's clock in ms, for an answer's deadline. */
    constructor(public playerName: Bytes, private readonly now: () => number = Date.now) {}

    /** A new connection: level 1 until the server says otherwise; the table hides until the next game. */
    startOver(): void {
        this.level2 = false;
        this.syncing = false;
        this.token = "";
        this.graceSeconds = 0;
        this.table.shown = false;
        this.awayCounts.clear();
    }

    /** One received command text; the events say what the page does besides rendering. */
    receive(text: Bytes): TableEvent[] {
        if (isCommand(text, Command.Join))
            return [{ kind: "joined", name: nameField(text, Layout.JoinName) }];
        if (isCommand(text, Command.Left))
            return [{ kind: "left", name: nameField(text, Layout.LeftName) }];
        if (tableWords.some(word => isCommand(text, word)))
            return this.tableCommand(text);
        if (isCommand(text, Command.List)) {
            this.keepAwayIn(splitRosterText(fieldFrom(text, Layout.ListRoster)));
            return [{ kind: "roster" }];
        }
        if (isCommand(text, Command.Kill))
            return nameField(text, Layout.KillName) === this.playerName ? [{ kind: "killed" }] : [];
        if (isCommand(text, Command.Hele))
            return [{ kind: "hele" }];
        const level2 = this.level2Command(text);
        if (level2)
            return level2;
        if (text.length === 0 || text[0] !== Prefix) {
            this.chatLine(text);
            return [{ kind: "chat", line: text }];
        }
        return [{ kind: "unknown" }];
    }

    private tableCommand(text: Bytes): TableEvent[] {
        this.apply(text);
        const events: TableEvent[] = [];
        if (isCommand(text, Command.Set))
            events.push({ kind: "target", text: fieldFrom(text, Layout.SetTarget) });
        if (this.syncing)
            return events;
        if (isCommand(text, Command.Draw) && field(text, Layout.DrawCard, Layout.CardDigits) !== NoCardDigits)
            events.push({ kind: "drawn" });
        if (isCommand(text, Command.Hit))
            events.push({ kind: "hit", text: fieldFrom(text, Layout.HitText) });
        return events;
    }

    /** The table commands: "/take" ... "/set". A seat that is not a digit throws SeatFieldError. */
    private apply(text: Bytes): void {
        const t = this.table;
        if (isCommand(text, Command.Take)) {
            const seat = seatNumber(text, Layout.TakeSeat);
            if (seat < SeatCount)
                t.occupants[seat] = nameField(text, Layout.TakeName);
        } else if (isCommand(text, Command.Leave) || isCommand(text, Command.FLeave)) {
            const seat = seatNumber(text, Layout.LeaveSeat);
            if (seat < SeatCount)
                t.occupants[seat] = "";
            // A hitter who left its last seat is no longer awaited: the dealer deals on.
            if (this.game.answer && !this.holdsSeat(this.game.answer.name))
                this.game.answer = null;
        } else if (isCommand(text, Command.Draw)) {
            this.putDrawnCard(text);
        } else if (isCommand(text, Command.B2T)) {
            // The seat is read after the field changed: a seat that is not a
            // number leaves that change in place.
            if (namesSeatOffTable(text, Layout.MoveSeat))
                return;
            this.takeLastFieldCard();
            ++t.hands[seatNumber(text, Layout.MoveSeat)];
        } else if (isCommand(text, Command.T2Y)) {
            if (namesSeatOffTable(text, Layout.MoveSeat))
                return;
            t.pile = (t.pile ?? 0) + 1;
            --t.hands[seatNumber(text, Layout.MoveSeat)];
        } else if (isCommand(text, Command.B2Y)) {
            this.takeLastFieldCard();
            t.pile = (t.pile ?? 0) + 1;
        } else if (isCommand(text, Command.Hit)) {
            this.hitShown = true;
        } else if (isCommand(text, Command.Init)) {
            this.newGame();
        } else if (isCommand(text, Command.Set)) {
            t.setter = nameField(text, Layout.SetName);
            t.target = fieldFrom(text, Layout.SetTarget);
            this.judgement = null;
        }
    }

    private putDrawnCard(text: Bytes): void {
        const card = field(text, Layout.DrawCard, Layout.CardDigits);
        if (card === NoCardDigits) {
            this.table.pile = 0;
            return;
        }
        if (this.table.field.length < SlotCount)
            this.table.field.push({ number: card, drawer: nameField(text, Layout.DrawName) });
        this.table.pile = (this.table.pile ?? FullPile) - 1;
        this.judgement = null;
    }

    private takeLastFieldCard(): void {
        if (this.table.field.length === 0)
            return;
        this.table.field.pop();
        this.judgement = null;
    }

    private newGame(): void {
        this.table = { ...emptyTable(), shown: true, pile: FullPile, occupants: Array(SeatCount).fill(""), target: null };
        this.own.fill(false);
        this.judgement = null;
    }

    /** The words only a level-2 server sends; undefined for any other text. */
    private level2Command(text: Bytes): TableEvent[] | undefined {
        if (isCommand(text, Command.StateBegin))
            return this.syncBegin(text) ? [] : undefined;
        if (!this.level2)
            return undefined;
        if (isCommand(text, Command.StateEnd)) {
            this.syncing = false;
            this.table.occupants.forEach((occupant, seat) => {
                if (occupant === this.playerName)
                    this.own[seat] = true;
            });
            return [{ kind: "synced" }];
        }
        if (isCommand(text, Command.Away) || isCommand(text, Command.Back)) {
            const name = nameField(text, Layout.AwayName);
            const count = (this.awayCounts.get(name) ?? 0) + (isCommand(text, Command.Away) ? 1 : -1);
            this.setAwayCount(name, count);
            return [{ kind: "roster" }];
        }
        if (isCommand(text, Command.Judge)) {
            this.applyJudgement(text);
            return [];
        }
        if (isCommand(text, Command.NameKey)) {
            const answer = readNameKey(text);
            return answer ? [{ kind: "nameKey", ...answer }] : undefined;
        }
        // Where the server's pages are: this page came from there.
        if (isCommand(text, Command.Site))
            return [];
        const events = this.game.receive(text, this.now());
        // The dealer sat every player at one seat before the start: this player's is its own again.
        if (events?.some(event => event.kind === "gameStarted"))
            this.table.occupants.forEach((occupant, seat) => this.own[seat] = occupant === this.playerName);
        return events;
    }

    // "/state begin " token " " grace
    private syncBegin(text: Bytes): boolean {
        const tokenAt = Command.StateBegin.length + 2;
        const graceAt = tokenAt + TokenLength + 1;
        const token = field(text, tokenAt, TokenLength);
        const grace = fieldFrom(text, graceAt);
        if (field(text, tokenAt - 1, 1) !== " " || !isToken(token) || field(text, graceAt - 1, 1) !== " " ||
            !/^[0-9]{1,9}$/.test(grace))
            return false;
        this.level2 = true;
        this.syncing = true;
        this.token = token;
        this.graceSeconds = Number(grace);
        this.awayCounts.clear();
        return true;
    }

    // "/judge " name " " verdict " " first " " expression
    private applyJudgement(text: Bytes): void {
        const verdictAt = Layout.JudgeName + PaddedNameLength + 1;
        const verdict = field(text, verdictAt, 1);
        const first = field(text, verdictAt + 2, 1);
        if ((verdict !== "Y" && verdict !== "N" && verdict !== "?") || (first !== "0" && first !== "1"))
            return;
        this.judgement = {
            hitter: nameField(text, Layout.JudgeName), verdict, first: first === "1",
            expression: verdict === "Y" ? fieldFrom(text, verdictAt + 4) : "", expressionShown: false,
        };
    }

    /** A "【判定】" chat line for the judged hitter shows the expression. */
    private chatLine(line: Bytes): void {
        if (this.judgement && line.startsWith(judgedLineOpening) &&
            line.substring(judgedLineOpening.length).startsWith(this.judgement.hitter))
            this.judgement.expressionShown = true;
    }

    showExpression(): void {
        if (this.judgement)
            this.judgement.expressionShown = true;
    }

    endHit(): void {
        this.hitShown = false;
    }

    /**
     * A new roster. An entry that went is taken to be an away one of its name
     * while the name has one: the server removes away entries when their grace
     * ends, and a connected player who leaves seldom has an away entry of its
     * own name beside it.
     */
    private keepAwayIn(roster: Bytes[]): void {
        const before = this.roster;
        this.roster = roster;
        for (const [name, count] of this.awayCounts) {
            const gone = Math.max(0, before.filter(entry => entry === name).length - this.entriesOf(name));
            this.setAwayCount(name, Math.min(count - gone, this.entriesOf(name)));
        }
    }

    private entriesOf(name: Bytes): number {
        return this.roster.filter(entry => entry === name).length;
    }

    private setAwayCount(name: Bytes, count: number): void {
        if (count > 0)
            this.awayCounts.set(name, count);
        else
            this.awayCounts.delete(name);
    }

    /** The seats of the name are away: every roster entry of that name is away. */
    isAway(name: Bytes): boolean {
        const count = this.awayCounts.get(name) ?? 0;
        return count > 0 && count >= this.entriesOf(name);
    }

    /** The roster entry at index is away: the first entries of a name carry its away marks. */
    isAwayEntry(index: number): boolean {
        const name = this.roster[index];
        const earlier = this.roster.slice(0, index).filter(entry => entry === name).length;
        return earlier < (this.awayCounts.get(name) ?? 0);
    }

    get fieldCount(): number {
        return this.table.field.length;
    }

    // The buttons. Each says what to send; only the sit button changes the
    // model itself (the seat is this player's from the click on).

    /** The seat's button does something: the seat is free, or held in this player's name. */
    seatOffered(seat: number): boolean {
        const occupant = this.table.occupants[seat];
        return occupant === "" || occupant === this.playerName;
    }

    sitOrStand(seat: number): Action {
        const occupant = this.table.occupants[seat];
        if (occupant === "") {
            this.own[seat] = true;
            return { send: [`${Command.Take} ${seat} ${this.playerName}`] };
        }
        if (occupant === this.playerName) {
            this.own[seat] = false;
            return { send: [`${Command.Leave} ${seat}`] };
        }
        return { refuse: "seatTaken" };
    }

    fieldToHand(seat: number): Action {
        if (this.fieldCount === 0)
            return { refuse: "noFieldCard" };
        return { send: [`${Command.B2T} ${seat} ${this.playerName}`] };
    }

    handToPile(seat: number): Action {
        if (this.table.hands[seat] === 0)
            return { refuse: "noHandCard" };
        return { send: [`${Command.T2Y} ${seat} ${this.playerName}`] };
    }

    fieldToPile(): Action {
        return this.fieldCount === 0 ? { refuse: "noFieldCardToReturn" } : { send: [Command.B2Y] };
    }

    draw(): Action {
        if (this.fieldCount >= SlotCount || (this.table.pile ?? FullPile) <= 0)
            return { refuse: "cannotDraw" };
        return { send: [`${Command.Draw} ${this.playerName}`] };
    }

    hit(): Bytes {
        return `${Command.Hit} ${this.playerName}`;
    }

    setTarget(target: Bytes): Bytes {
        return `${Command.Set} ${this.playerName} ${target}`;
    }

    chat(line: Bytes): Bytes {
        return `${this.playerName}: ${line}`;
    }

    /** The hitter's own calculation, when this player is the judged hitter at a level-2 server. */
    answer(expression: Bytes): Bytes | undefined {
        if (expression.length === 0 || expression.length > AnswerBytes || !this.level2 || !this.mayAnswer)
            return undefined;
        return `${Command.Answer} ${this.playerName} ${expression}`;
    }

    /** This player's hit was judged, or a dealt game awaits its answer. */
    get mayAnswer(): boolean {
        return this.judgement?.hitter === this.playerName || this.game.answer?.name === this.playerName;
    }

    /** The example expression may be shown: never while a dealt game runs, where it would be the answer. */
    get expressionOffered(): boolean {
        return !!this.judgement && this.judgement.expression !== "" && !this.game.running;
    }

    holdsSeat(name: Bytes): boolean {
        return this.table.occupants.includes(name);
    }

    /**
     * "/deal NAME start" with the fields, from a seat: a player without one
     * sits at the first free seat first (the server takes the packets in order).
     */
    startGame(fields: GameFields): Action {
        const send: Bytes[] = [];
        if (!this.own.includes(true)) {
            const free = this.table.occupants.findIndex(occupant => !occupant);
            if (free < 0)
                return { refuse: "noFreeSeat" };
            this.own[free] = true;
            send.push(`${Command.Take} ${free} ${this.playerName}`);
        }
        send.push(`${DealWord} ${this.playerName} start${fieldsText(fields)}`);
        return { send };
    }

    stopGame(): Bytes {
        return `${DealWord} ${this.playerName} stop`;
    }

    /** "/left" and a "/fleav" for every seat this player holds, which are no longer held. */
    leaveSequence(): Bytes[] {
        const texts = [`${Command.Left} ${this.playerName}`];
        this.own.forEach((own, seat) => {
            if (own)
                texts.push(`${Command.FLeave} ${seat}`);
        });
        this.own.fill(false);
        return texts;
    }
}
