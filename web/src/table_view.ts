// The table screen: renders the table model (pile, field, target, seats,
// hit display, judgement, roster) and turns the controls into actions. It
// holds no rule of the game: every decision is the model's. Nothing moves
// when "HIT!!", a verdict or the answer box appears: their places are kept.
import { assetNames } from "./asset_names.js";
import { decode } from "./cp932.js";
import { GameFields } from "./dealt_game.js";
import { fill, h } from "./dom.js";
import { GameView, LevelNames } from "./game_view.js";
import { SeatCount, SlotCount, TableModel } from "./table_model.js";
import { Texts } from "./texts.js";

export interface TableActions {
    sitOrStand(seat: number): void;
    takeCard(seat: number): void;
    returnCard(seat: number): void;
    draw(): void;
    fieldToPile(): void;
    hit(): void;
    hele(): void;
    newGame(): void;
    startGame(fields: GameFields): void;
    stopGame(): void;
    /** The typed texts: each gives the character that cannot be sent, or undefined when sent. */
    setTarget(text: string): string | undefined;
    showAnswer(): void;
    answer(text: string): string | undefined;
    chat(text: string): string | undefined;
    copyLink(): void;
    leave(): void;
    switchLanguage(): void;
}

export interface TableContext {
    tableName: string;
    watching: boolean;
    /** The connection is coming back: the table stays in view but cannot be used. */
    reconnecting: boolean;
    status: string;
}

function typedInput(attributes: Record<string, string | number>): HTMLInputElement {
    const input = h("input", { type: "text", ...attributes });
    input.addEventListener("input", () => input.removeAttribute("aria-invalid"));
    return input;
}

/**
 * Sends the input's text. A character that cannot be sent keeps the text in
 * the box with that character selected; a sent text is cleared when asked.
 */
function sendTyped(input: HTMLInputElement, send: (text: string) => string | undefined, clear: boolean): void {
    const unwritable = send(input.value);
    if (unwritable === undefined) {
        if (clear)
            input.value = "";
        return;
    }
    const at = input.value.indexOf(unwritable);
    const mark = () => input.setSelectionRange(at, at + unwritable.length);
    input.setAttribute("aria-invalid", "true");
    mark();
    // The warning takes the focus; the mark is made again when it comes back.
    input.addEventListener("focus", mark, { once: true });
}

/** How long "HIT!!" shows after the latest hit. */
const HitShownMs = 3000;

/** A card's value as the table shows it: 1 to 13, or JOKER; number is its two digits. */
export function cardValue(number: string): string {
    const n = Number(number);
    return n >= 53 ? "JOKER" : String(((n - 1) % 13) + 1);
}

interface SeatControls {
    occupant: HTMLElement;
    hand: HTMLElement;
    sit: HTMLButtonElement;
    take: HTMLButtonElement;
    give: HTMLButtonElement;
}

export class TableView {
    readonly root: HTMLElement;
    private readonly heading = h("h1", { class: "table-name" });
    private readonly me = h("span", { class: "me" });
    private readonly statusLine = h("p", { class: "status", role: "status" });
    private readonly notice: HTMLElement;
    private readonly board: HTMLElement;
    private readonly pile = h("output", { class: "pile-count" });
    private readonly target = h("output", { class: "target-value" });
    private readonly setter = h("span", { class: "setter" });
    private readonly targetInput: HTMLInputElement;
    private readonly hitBanner: HTMLElement;
    private readonly verdict = h("p", { class: "verdict", role: "status" });
    private readonly showAnswerButton: HTMLButtonElement;
    private readonly answerText = h("output", { class: "answer" });
    private readonly answerInput: HTMLInputElement;
    private readonly field = h("ol", { class: "field" });
    private readonly seats: SeatControls[] = [];
    /** Focusable, so that a long log scrolls by keyboard too. */
    private readonly chatLog = h("div", { class: "chat-log", role: "log", tabindex: 0 });
    private readonly roster = h("ul", { class: "roster" });
    private readonly playControls: HTMLElement[] = [];
    /** The moves the dealer makes while a game runs. */
    private readonly dealerMoves: HTMLElement[] = [];
    private readonly game: GameView;
    private readonly chat: HTMLElement;
    private readonly seatSection: HTMLElement;
    private readonly side: HTMLElement;
    private hitTimer: number | undefined;
    private readonly hitKey: (e: KeyboardEvent) => void;

    /** embedded: the table is a part of another page (a replay), not the page's main content. */
    constructor(private readonly texts: Texts, actions: TableActions, private readonly onHitEnded: () => void,
                embedded = false) {
        const t = texts.get;
        const button = (caption: string, action: () => void, attributes: Record<string, string> = {}) => {
            const b = h("button", { type: "button", ...attributes }, caption);
            b.addEventListener("click", action);
            return b;
        };
        const play = <T extends HTMLElement>(element: T) => {
            this.playControls.push(element);
            return element;
        };
        const dealt = <T extends HTMLElement>(element: T) => {
            this.dealerMoves.push(element);
            return element;
        };
        this.chatLog.setAttribute("aria-label", t("chatLog"));
        this.game = new GameView(texts, { start: fields => actions.startGame(fields), stop: () => actions.stopGame() });

        this.targetInput = typedInput({ value: "47", "aria-label": t("targetInput"), size: 6 });
        this.targetInput.addEventListener("keydown", e => {
            if (e.key === "Enter")
                sendTyped(this.targetInput, actions.setTarget, false);
        });
        this.answerInput = typedInput({ placeholder: t("answerInput"), "aria-label": t("answerLabel") });
        this.answerInput.addEventListener("keydown", e => {
            if (e.key === "Enter" && this.answerInput.value !== "")
                sendTyped(this.answerInput, actions.answer, true);
        });
        this.showAnswerButton = button(t("showAnswer"), () => actions.showAnswer());
        this.hitBanner = h("p", { class: "hit-banner", "aria-live": "assertive" });

        const hitButton = play(button(`${t("hit")} (${t("hitKey")})`, () => actions.hit(),
            { class: "hit", "aria-keyshortcuts": t("hitKey"), title: t("hitKey") }));
        for (let slot = 0; slot < SlotCount; ++slot)
            this.field.append(h("li", { class: "slot" }));

        const seatList = h("ol", { class: "seats" });
        for (let seat = 0; seat < SeatCount; ++seat) {
            const controls: SeatControls = {
                occupant: h("span", { class: "occupant" }),
                hand: h("span", { class: "hand" }),
                sit: play(button(t("sit"), () => actions.sitOrStand(seat))),
                take: dealt(button(t("takeCard"), () => actions.takeCard(seat), { "aria-label": `${t("seat", seat + 1)} ${t("takeCard")}` })),
                give: dealt(button(t("returnCard"), () => actions.returnCard(seat), { "aria-label": `${t("seat", seat + 1)} ${t("returnCard")}` })),
            };
            controls.sit.setAttribute("aria-describedby", `seat-${seat}-name`);
            controls.occupant.id = `seat-${seat}-name`;
            this.seats.push(controls);
            seatList.append(h("li", { class: "seat" },
                h("span", { class: "seat-number" }, t("seat", seat + 1)), controls.occupant, controls.hand,
                h("span", { class: "seat-actions" }, controls.sit, controls.take, controls.give)));
        }

        this.board = h("section", { class: "board", "aria-label": t("field") },
            this.game.strip,
            h("div", { class: "pile" }, h("span", {}, t("pileLeft")), this.pile,
                dealt(play(button(t("draw"), () => actions.draw())))),
            h("div", { class: "target" }, h("span", {}, t("target")), this.target, this.setter,
                dealt(h("span", { class: "target-set" }, play(this.targetInput),
                    play(button(t("setTarget"), () => sendTyped(this.targetInput, actions.setTarget, false)))))),
            h("div", { class: "moves" }, hitButton, dealt(play(button(t("fieldToPile"), () => actions.fieldToPile()))),
                play(button(t("hele"), () => actions.hele()))),
            h("div", { class: "judgement" }, this.verdict, this.showAnswerButton, this.answerText, this.answerInput),
            h("div", { class: "field-area" }, this.field, this.hitBanner),
            this.game.standingsPanel);
        this.seatSection = h("section", { class: "seat-area", "aria-label": t("seat", "") }, seatList);
        this.notice = h("p", { class: "notice" }, t("waitingForGame"));

        const chatInput = typedInput({ "aria-label": t("chatInput"), placeholder: t("chatPlaceholder"), autocomplete: "off" });
        const chatForm = play(h("form", { class: "chat-form" }, chatInput, h("button", { type: "submit" }, t("send"))));
        chatForm.addEventListener("submit", e => {
            e.preventDefault();
            if (chatInput.value !== "")
                sendTyped(chatInput, actions.chat, true);
        });

        // A phone shows the chat right below the field, the seats after it:
        // the newest line and the hit button fit on one screen.
        this.root = h(embedded ? "div" : "main", { class: "table-screen" },
            h("header", { class: "bar" }, this.heading, this.me,
                button(t("copyLink"), () => actions.copyLink(), { class: "copy-link", "aria-label": t("copyLinkLabel") }),
                button(t("languageSwitch"), () => actions.switchLanguage(), { lang: texts.language === "ja" ? "en" : "ja", "aria-label": t("languageSwitchLabel") }),
                button(t("leaveTable"), () => actions.leave(), { class: "leave" })),
            this.statusLine, this.notice, this.game.greeting, this.board,
            this.chat = h("section", { class: "chat", "aria-label": t("chat") }, chatForm, this.chatLog),
            this.seatSection,
            this.side = h("div", { class: "table-side" },
                dealt(play(button(t("newGame"), () => actions.newGame(), { class: "new-game" }))),
                h("section", { class: "players", "aria-label": t("roster") }, h("h2", {}, t("roster")), this.roster)),
            this.game.dialog);

        // The hit key, wherever the focus is but in a text box (where it types).
        this.root.ownerDocument.addEventListener("keydown", this.hitKey = e => {
            const typing = e.target instanceof HTMLInputElement;
            if (!this.root.isConnected || e.repeat || e.ctrlKey || e.metaKey || (typing && !e.altKey))
                return;
            if (e.key.toUpperCase() === t("hitKey") && !this.board.hidden && !hitButton.hidden) {
                e.preventDefault();
                actions.hit();
            }
        });
    }

    dispose(): void {
        this.root.ownerDocument.removeEventListener("keydown", this.hitKey);
        window.clearTimeout(this.hitTimer);
        this.game.dispose();
    }

    render(model: TableModel, context: TableContext): void {
        const t = this.texts.get;
        const table = model.table;
        this.heading.textContent = context.tableName || t("mainTable");
        this.me.textContent = decode(model.playerName).trim();
        this.statusLine.textContent = context.status;
        this.statusLine.hidden = context.status === "";
        this.board.hidden = !table.shown;
        this.seatSection.hidden = !table.shown;
        for (const part of [this.board, this.seatSection, this.chat, this.side])
            part.inert = context.reconnecting;
        const offered = model.level2 && !context.watching;
        this.game.render(model, offered, Date.now());
        this.notice.hidden = table.shown || !this.game.greeting.hidden;
        for (const control of this.playControls)
            control.hidden = context.watching;
        for (const control of this.dealerMoves)
            control.hidden = context.watching || model.game.running;
        this.pile.textContent = table.pile === null ? t("pileUnknown") : String(table.pile);
        this.target.textContent = table.target === null ? t("targetUnset") : decode(table.target);
        this.setter.textContent = decode(table.setter).trim() ? t("setBy", decode(table.setter).trim()) : "";

        this.field.querySelectorAll("li").forEach((slot, i) => {
            const card = table.field[i];
            if (!card) {
                fill(slot, h("span", { class: "empty" }, t("emptySlot")));
                slot.classList.add("free");
                return;
            }
            slot.classList.remove("free");
            const drawer = decode(card.drawer).trim();
            const src = `/assets/${assetNames[`${card.number}.png`] ?? ""}`;
            const image = slot.querySelector("img");
            if (image?.getAttribute("src") !== src || slot.querySelector(".drawer")?.textContent !== drawer)
                fill(slot, h("img", { src, alt: t("cardBy", drawer, cardValue(card.number)), width: 89, height: 129 }),
                    h("span", { class: "drawer", "aria-hidden": "true" }, drawer));
        });

        this.seats.forEach((controls, seat) => {
            const occupant = table.occupants[seat];
            const name = occupant ? decode(occupant).trim() : "";
            const away = !!occupant && model.isAway(occupant);
            controls.occupant.textContent = occupant === null ? t("seatFree") : name || t("seatFree");
            if (occupant)
                controls.occupant.textContent += this.botMark(model, occupant);
            controls.occupant.classList.toggle("away", away);
            controls.occupant.classList.toggle("bot", !!occupant && model.game.isBot(occupant));
            controls.occupant.title = away ? t("away") : "";
            if (away)
                controls.occupant.textContent += t("awayMark");
            controls.hand.textContent = t("handCount", table.hands[seat]);
            if (model.game.running && occupant)
                controls.hand.textContent += ` ・ ${t("standingOf", 1 + table.hands.filter((n, s) => table.occupants[s] && n > table.hands[seat]).length)}`;
            const own = model.own[seat];
            controls.sit.textContent = own ? t("stand") : t("sit");
            controls.sit.setAttribute("aria-label", `${t("seat", seat + 1)} ${controls.sit.textContent}`);
            controls.sit.hidden = context.watching || !model.seatOffered(seat);
            controls.take.hidden = !own || context.watching || model.game.running;
            controls.give.hidden = !own || context.watching || model.game.running;
        });

        if (!model.hitShown)
            this.hitBanner.textContent = "";

        // The judgement's controls keep their places while hidden.
        const judgement = model.judgement;
        const shown = (element: HTMLElement, visible: boolean) => element.classList.toggle("unseen", !visible);
        shown(this.verdict, !!judgement);
        shown(this.showAnswerButton, !!judgement && !model.game.running);
        shown(this.answerText, !!judgement);
        shown(this.answerInput, model.mayAnswer && !context.watching);
        if (judgement) {
            const verdict = judgement.verdict === "Y" ? t("verdictY") : judgement.verdict === "N" ? t("verdictN") : t("verdictUndecided");
            this.verdict.textContent = judgement.first ? `${verdict}　${t("firstHitter", decode(judgement.hitter).trim())}` : verdict;
            this.showAnswerButton.disabled = !model.expressionOffered || judgement.expressionShown;
            this.answerText.textContent = judgement.expressionShown && model.expressionOffered ? decode(judgement.expression) : "";
        }

        fill(this.roster, ...model.roster.map((entry, index) => {
            const away = model.isAwayEntry(index);
            const bot = model.game.isBot(entry);
            return h("li", { class: [away ? "away" : "", bot ? "bot" : ""].join(" ").trim() },
                decode(entry).trim() + this.botMark(model, entry) + (away ? t("awayMark") : ""));
        }));
    }

    /** " (CPU 中級)" after a computer player's name, else nothing. */
    private botMark(model: TableModel, name: string): string {
        const level = model.game.bots.get(name);
        return level === undefined ? "" : this.texts.get("botMark", this.texts.get(LevelNames[level - 1] ?? "level3"));
    }

    /** The answer box takes the focus: this player's answer is awaited. */
    focusAnswer(): void {
        this.answerInput.classList.remove("unseen");
        this.answerInput.focus();
    }

    /** "HIT!!" for three seconds from the latest hit. */
    showHit(): void {
        this.hitBanner.textContent = "HIT!!";
        window.clearTimeout(this.hitTimer);
        this.hitTimer = window.setTimeout(() => {
            this.hitBanner.textContent = "";
            this.onHitEnded();
        }, HitShownMs);
    }

    setTargetInput(text: string): void {
        this.targetInput.value = text;
    }

    showChat(lines: readonly string[]): void {
        fill(this.chatLog, ...lines.map(line => h("p", {}, line)));
    }
}
