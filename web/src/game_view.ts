// A dealt game at the table screen: the strip above the field (round, host,
// target, the open answer's countdown, the latest penalty, 対局をやめる), the
// greeting of a fresh table, the fields' form that starts a game, and the
// standings laid over the board with もう一局. It renders the table model's
// DealtGame; every decision is the model's.
import { decode } from "./cp932.js";
import { fill, h } from "./dom.js";
import { DefaultFields, FieldRanges, GameFields, fieldsProblem } from "./dealt_game.js";
import { TableModel } from "./table_model.js";
import { TextKey, Texts } from "./texts.js";

export interface GameActions {
    start(fields: GameFields): void;
    stop(): void;
}

export const LevelNames: TextKey[] = ["level1", "level2", "level3", "level4", "level5"];

const fieldLabels: Record<keyof GameFields, TextKey> = {
    target: "targetNumber", pace: "paceField", answer: "answerField", bots: "botsField", level: "levelField",
};

function numberInput(id: string, value: number, [min, max]: readonly [number, number]): HTMLInputElement {
    return h("input", { type: "number", id, value, min, max, step: 1, inputmode: "numeric", required: true });
}

/** A select of the levels 1 to 5 by their names, "中級" chosen unless told. */
export function levelSelect(texts: Texts, id: string, level: number): HTMLSelectElement {
    const select = h("select", { id });
    LevelNames.forEach((key, i) => select.append(h("option", { value: i + 1, selected: i + 1 === level }, texts.get(key))));
    return select;
}

/** The form of a game's fields in a dialog; opened with the fields to show. */
class FieldsDialog {
    readonly root = h("dialog", { class: "game-fields", "aria-labelledby": "game-fields-heading" });
    private readonly fixed = h("input", { type: "radio", name: "target-mode", id: "target-fixed", value: "fixed" });
    private readonly random = h("input", { type: "radio", name: "target-mode", id: "target-random", value: "random" });
    private readonly target = numberInput("game-target", 47, FieldRanges.target);
    private readonly pace = numberInput("game-pace", 5, FieldRanges.pace);
    private readonly answer = numberInput("game-answer", 20, FieldRanges.answer);
    private readonly bots = numberInput("game-bots", 0, FieldRanges.bots);
    private readonly level: HTMLSelectElement;
    private readonly error = h("p", { class: "error", id: "game-fields-error", "aria-live": "polite" });

    constructor(texts: Texts, start: (fields: GameFields) => void) {
        const t = texts.get;
        this.level = levelSelect(texts, "game-level", 3);
        const row = (id: string, label: TextKey, input: HTMLElement) =>
            h("div", { class: "field-row" }, h("label", { for: id }, t(label)), input);
        const cancel = h("button", { type: "button" }, t("cancel"));
        const form = h("form", { method: "dialog" },
            h("h2", { id: "game-fields-heading" }, t("gameFields")),
            h("fieldset", {}, h("legend", {}, t("targetMode")),
                h("label", { class: "choice" }, this.fixed, t("targetFixed")),
                h("label", { class: "choice" }, this.random, t("targetRandom"))),
            row("game-target", "targetNumber", this.target),
            row("game-pace", "paceField", this.pace),
            row("game-answer", "answerField", this.answer),
            row("game-bots", "botsField", this.bots),
            row("game-level", "levelField", this.level),
            this.error,
            h("div", { class: "dialog-buttons" }, cancel, h("button", { type: "submit", class: "ok" }, t("begin"))));
        for (const radio of [this.fixed, this.random])
            radio.addEventListener("change", () => this.target.disabled = this.random.checked);
        cancel.addEventListener("click", () => this.root.close());
        form.addEventListener("submit", e => {
            e.preventDefault();
            const fields = this.fields();
            const problem = fieldsProblem(fields);
            if (problem) {
                this.error.textContent = t("fieldsInvalid", t(fieldLabels[problem]));
                return;
            }
            this.root.close();
            start(fields);
        });
        this.root.append(form);
    }

    open(fields: GameFields): void {
        this.fixed.checked = fields.target !== "random";
        this.random.checked = fields.target === "random";
        this.target.value = String(fields.target === "random" ? DefaultFields.target : fields.target);
        this.target.disabled = fields.target === "random";
        this.pace.value = String(fields.pace);
        this.answer.value = String(fields.answer);
        this.bots.value = String(fields.bots);
        this.level.value = String(fields.level);
        this.error.textContent = "";
        this.root.showModal();
        (this.fixed.checked ? this.fixed : this.random).focus();
    }

    private fields(): GameFields {
        return {
            target: this.random.checked ? "random" : Number(this.target.value), pace: Number(this.pace.value),
            answer: Number(this.answer.value), bots: Number(this.bots.value), level: Number(this.level.value),
        };
    }
}

export class GameView {
    /** Above the field, inside the board. */
    readonly strip: HTMLElement;
    /** In place of the empty table's notice. */
    readonly greeting: HTMLElement;
    /** Laid over the board when a game ended. */
    readonly standingsPanel = h("section", { class: "standings", "aria-labelledby": "standings-heading" });
    readonly dialog: HTMLDialogElement;
    private readonly fieldsDialog: FieldsDialog;
    private readonly summary = h("span", { class: "game-summary" });
    private readonly live = h("p", { class: "game-live", role: "status" });
    private readonly startButton: HTMLButtonElement;
    private readonly stopButton: HTMLButtonElement;
    private standingsClosed = false;
    private lastFields: GameFields = { ...DefaultFields };
    private ticker: number | undefined;

    constructor(private readonly texts: Texts, private readonly actions: GameActions) {
        const t = texts.get;
        this.fieldsDialog = new FieldsDialog(texts, fields => actions.start(fields));
        this.dialog = this.fieldsDialog.root;
        const button = (caption: string, action: () => void, className: string) => {
            const b = h("button", { type: "button", class: className }, caption);
            b.addEventListener("click", action);
            return b;
        };
        this.startButton = button(t("startGame"), () => this.openFields(), "start-game");
        this.stopButton = button(t("stopGame"), () => actions.stop(), "stop-game");
        this.strip = h("div", { class: "game-strip" },
            h("div", { class: "game-head" }, this.summary, this.startButton, this.stopButton), this.live);
        this.greeting = h("section", { class: "greeting", "aria-labelledby": "greeting-heading" },
            h("h2", { id: "greeting-heading" }, t("startGame")), h("p", {}, t("startGameGreeting")),
            button(t("startGame"), () => this.openFields(), "start-game big"));
    }

    private openFields(): void {
        this.fieldsDialog.open(this.lastFields);
    }

    dispose(): void {
        window.clearInterval(this.ticker);
    }

    /** offered: this player may start or stop a game here (a level-2 server, playing, not watching). */
    render(model: TableModel, offered: boolean, now: number): void {
        const t = this.texts.get;
        const game = model.game;
        const name = (padded: string) => decode(padded).trim();
        if (game.running || game.standings)
            this.lastFields = { ...game.fields };
        this.strip.hidden = !offered && !game.running;
        this.startButton.hidden = !offered || game.running;
        this.stopButton.hidden = !game.mayStop(model.playerName, n => model.holdsSeat(n));
        this.live.hidden = !game.running;
        this.greeting.hidden = !offered || model.table.shown || game.running;
        if (game.running) {
            const target = game.fields.target === "random" ? t("targetRandomShort") : `${t("target")} ${game.fields.target}`;
            const host = game.host.trim() === "" ? "" : ` ・ ${t("hostIs", name(game.host))}`;
            this.summary.textContent = `${t("roundOf", game.round)}${host} ・ ${target}`;
        } else {
            this.summary.textContent = "";
        }
        this.showLive(model, now);
        window.clearInterval(this.ticker);
        this.ticker = game.answer ? window.setInterval(() => this.showLive(model, Date.now()), 250) : undefined;

        if (game.running)
            this.standingsClosed = false;
        const standings = game.standings;
        this.standingsPanel.hidden = !standings || this.standingsClosed;
        if (standings && !this.standingsPanel.hidden && this.standingsPanel.dataset.shown !== JSON.stringify(standings)) {
            this.standingsPanel.dataset.shown = JSON.stringify(standings);
            const close = h("button", { type: "button" }, t("close"));
            close.addEventListener("click", () => {
                this.standingsClosed = true;
                this.standingsPanel.hidden = true;
            });
            const again = offered ? h("button", { type: "button", class: "one-more" }, t("oneMore")) : null;
            again?.addEventListener("click", () => this.actions.start(this.lastFields));
            fill(this.standingsPanel,
                h("h2", { id: "standings-heading" }, game.endReason === "stop" ? t("standingsStopped") : t("standings")),
                h("ol", {}, ...standings.map(s => h("li", { class: s.place === 1 ? "winner" : "" },
                    t("placeCards", s.place, name(s.name) + (game.isBot(s.name) ? t("botMark", t(LevelNames[(game.bots.get(s.name) ?? 3) - 1])) : ""), s.cards)))),
                h("div", { class: "dialog-buttons" }, close, again));
            (again ?? close).focus();
        }
    }

    /** The countdown of an open answer, else the latest penalty: one line that keeps its height. */
    private showLive(model: TableModel, now: number): void {
        const t = this.texts.get;
        const game = model.game;
        const name = (padded: string) => decode(padded).trim();
        const penaltyText: Record<string, TextKey> = { wrong: "penaltyWrong", answer: "penaltyAnswer", time: "penaltyTime" };
        let text = "";
        if (game.answer)
            text = game.answer.name === model.playerName ? t("yourAnswer", game.secondsLeft(now))
                : t("answerWait", name(game.answer.name), game.secondsLeft(now));
        else if (game.penalty)
            text = t(penaltyText[game.penalty.why], name(game.penalty.name));
        if (this.live.textContent !== text)
            this.live.textContent = text;
        this.live.classList.toggle("countdown", !!game.answer);
        this.live.classList.toggle("penalised", !game.answer && !!game.penalty);
    }
}
