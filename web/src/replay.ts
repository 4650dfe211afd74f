// A recorded game played again, event by event, on a table model: each
// event becomes the commands that would have drawn it at a table (a join
// sits down, a deal draws the card in the dealer's name, a take moves the
// field into the taker's hand, a penalty returns one card, a leave stands up
// and forfeits the hand), so the table view renders a replay as it renders a
// live game. Beside the table it keeps the standings as the events make
// them: every player who sat down, best first, ties in the order they first sat.
import { Bytes, encode } from "./cp932.js";
import { Command, paddedName } from "./protocol.js";
import { RecordedEvent, RecordedGame } from "./records.js";
import { TableModel } from "./table_model.js";

/** The dealer's name, in which the server deals and sets targets. */
const Dealer = paddedName(encode("親"));

export interface ReplayStanding {
    name: string;
    cards: number;
    place: number;
}

interface Hand {
    name: string;
    cards: number;
    seat: number | undefined;
}

export class Replay {
    /** How many events have been applied. */
    position = 0;
    table: TableModel;
    private hands: Hand[] = [];
    readonly events: readonly RecordedEvent[];

    constructor(readonly game: RecordedGame) {
        this.events = game.events ?? [];
        this.table = Replay.emptyTable();
    }

    get length(): number {
        return this.events.length;
    }

    /** The event applied last, if any. */
    get current(): RecordedEvent | undefined {
        return this.events[this.position - 1];
    }

    /** One event further; false at the end. */
    step(): boolean {
        if (this.position >= this.length)
            return false;
        this.apply(this.events[this.position++]);
        return true;
    }

    /** One event back (played again from the start); false at the start. */
    back(): boolean {
        if (this.position === 0)
            return false;
        this.seek(this.position - 1);
        return true;
    }

    /** Plays the first count events from an empty table. */
    seek(count: number): void {
        this.table = Replay.emptyTable();
        this.hands = [];
        this.position = 0;
        while (this.position < Math.min(count, this.length))
            this.step();
    }

    standings(): ReplayStanding[] {
        const places = this.hands.map(h => 1 + this.hands.filter(other => other.cards > h.cards).length);
        return this.hands.map((h, i) => ({ name: h.name, cards: h.cards, place: places[i] }))
            .sort((a, b) => a.place - b.place);
    }

    private static emptyTable(): TableModel {
        const table = new TableModel(paddedName(""));
        table.receive(Command.Init);
        return table;
    }

    private apply(event: RecordedEvent): void {
        const hand = this.hands.find(h => h.name === event.player);
        const name = paddedName(encode(event.player ?? ""));
        const send = (text: Bytes, times = 1) => {
            for (let i = 0; i < times; ++i)
                this.table.receive(text);
        };
        switch (event.kind) {
        case "join": {
            const seat = event.seat ?? 0;
            if (hand) {
                hand.cards = 0;
                hand.seat = seat;
            } else {
                this.hands.push({ name: event.player ?? "", cards: 0, seat });
            }
            send(`${Command.Take} ${seat} ${name}`);
            break;
        }
        case "leave":
            if (hand?.seat !== undefined) {
                send(`${Command.T2Y} ${hand.seat} ${name}`, this.table.table.hands[hand.seat]);
                send(`${Command.Leave} ${hand.seat}`);
                hand.seat = undefined;
            }
            if (hand)
                hand.cards = 0;
            break;
        case "target":
            send(`${Command.Set} ${Dealer} ${event.target ?? ""}`);
            break;
        case "deal":
            send(`${Command.Draw} ${Dealer} ${String(event.card ?? 0).padStart(2, "0")}`);
            break;
        case "clear":
            send(Command.B2Y, this.table.table.field.length);
            break;
        case "take":
            if (hand) {
                hand.cards += event.cards ?? 0;
                if (hand.seat !== undefined)
                    send(`${Command.B2T} ${hand.seat} ${name}`, event.cards ?? 0);
            }
            break;
        case "penalty":
            if (hand && hand.cards > 0) {
                --hand.cards;
                if (hand.seat !== undefined && this.table.table.hands[hand.seat] > 0)
                    send(`${Command.T2Y} ${hand.seat} ${name}`);
            }
            break;
        case "hit":
        case "answer":
            break;
        }
    }
}
