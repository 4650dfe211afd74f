// The page: the lobby or a table, the page's address following the table
// ("/t/NAME", a private table's key in "#key="), the connection's frames into
// the table model, the model's events into sounds and chat lines, and the
// player's clicks into the texts the model says to send.
import { Bytes, decode, encode, unwritableCharacter } from "./cp932.js";
import { Connection } from "./connection.js";
import { GameFields } from "./dealt_game.js";
import { h } from "./dom.js";
import { LobbyChoice, LobbyView, PracticeChoice } from "./lobby_view.js";
import { paddedName } from "./protocol.js";
import { browserClock } from "./reconnector.js";
import { Sounds } from "./sounds.js";
import { Action, TableEvent, TableModel } from "./table_model.js";
import { TableView } from "./table_view.js";
import { Language, TextKey, Texts, preferredLanguage } from "./texts.js";

const NameKey = "kivol.name";
const LanguageKey = "kivol.language";
/** The newest chat lines kept on the page. */
const ChatLines = 100;

interface Seat {
    table: string;
    key?: string;
    watch: boolean;
}

class App {
    private texts: Texts;
    private readonly sounds = new Sounds();
    private readonly connection: Connection;
    private lobby: LobbyView | undefined;
    private view: TableView | undefined;
    private model: TableModel | undefined;
    private seat: Seat | undefined;
    private chatLines: string[] = [];
    /** A practice table being joined: the game it starts once the join's sync block is in. */
    private practice: GameFields | undefined;
    private readonly dialog = h("dialog", { class: "message" });

    constructor(private readonly body: HTMLElement) {
        const stored = localStorage.getItem(LanguageKey);
        this.texts = new Texts(stored === "ja" || stored === "en" ? stored : preferredLanguage(navigator.languages));
        document.documentElement.lang = this.texts.language;
        this.connection = new Connection({
            tables: rows => this.lobby?.showTables(rows),
            command: text => this.received(text),
            refused: text => this.backToLobby(text),
            ended: () => this.ended(),
            status: () => this.render(),
            unreachable: () => this.lobby?.showUnavailable(),
        }, browserClock);
        body.append(this.dialog);
        window.addEventListener("popstate", () => this.leaveTable());
        // A reload or a closed tab is a drop, not a leave: the entry and its
        // seats wait for the tab's token (a reload resumes with it at once).
        window.addEventListener("pagehide", () => this.connection.drop());
        this.showLobby();
        // A table's link joins it; a reload of the main table resumes the tab's entry there.
        const route = App.route();
        const name = localStorage.getItem(NameKey) ?? "";
        const table = route.table ?? "";
        if (name !== "" && (table !== "" || Connection.canResume(table, decode(paddedName(encode(name))))) &&
            this.lobby?.checkedName() !== undefined)
            this.join({ name, table, key: route.key, watch: false });
    }

    private static route(): { table?: string; key?: string } {
        const match = /^\/t\/([^/]+)$/.exec(location.pathname);
        const key = /^#key=(.+)$/.exec(location.hash);
        try {
            return { table: match ? decodeURIComponent(match[1]) : undefined, key: key ? decodeURIComponent(key[1]) : undefined };
        } catch {
            return {};
        }
    }

    private t(key: TextKey, ...values: (string | number)[]): string {
        return this.texts.get(key, ...values);
    }

    /** The lobby; its new-table form holds the table of the address, or the one given. */
    private showLobby(table = App.route().table): void {
        const route = App.route();
        this.view?.dispose();
        this.view = undefined;
        this.model = undefined;
        this.lobby = new LobbyView(this.texts, {
            choose: choice => this.join(choice),
            practise: choice => this.practise(choice),
            nameChanged: name => localStorage.setItem(NameKey, name),
            switchLanguage: () => this.switchLanguage(),
        }, localStorage.getItem(NameKey) ?? "", table, route.key, route.table !== undefined && route.table === table);
        this.body.replaceChildren(this.lobby.root, this.dialog);
        this.connection.startListing();
    }

    private join(choice: LobbyChoice): void {
        this.practice = undefined;
        localStorage.setItem(NameKey, choice.name);
        this.seat = { table: choice.table, key: choice.key, watch: choice.watch };
        const path = choice.table ? `/t/${encodeURIComponent(choice.table)}` : "/";
        const hash = choice.key ? `#key=${encodeURIComponent(choice.key)}` : "";
        if (location.pathname + location.hash !== path + hash)
            history.pushState(null, "", path + hash);
        this.model = new TableModel(paddedName(encode(choice.name)));
        this.chatLines = [];
        this.showTable();
        this.connection.join(this.model.playerName, { table: choice.table, key: choice.key, watch: choice.watch });
    }

    /** A private table of a random name and key, where this player sits and starts a game against bots. */
    private practise(choice: PracticeChoice): void {
        const random = (bytes: number) => Array.from(crypto.getRandomValues(new Uint8Array(bytes)),
            b => b.toString(16).padStart(2, "0")).join("");
        this.join({ name: choice.name, table: `練習${random(4)}`, key: random(12), watch: false });
        this.practice = { target: "random", pace: choice.pace, answer: 20, bots: choice.bots, level: choice.level };
    }

    private showTable(): void {
        this.view?.dispose();
        this.lobby = undefined;
        this.view = new TableView(this.texts, {
            sitOrStand: seat => this.act(m => m.sitOrStand(seat)),
            takeCard: seat => this.act(m => m.fieldToHand(seat)),
            returnCard: seat => this.act(m => m.handToPile(seat)),
            draw: () => this.act(m => m.draw()),
            fieldToPile: () => this.act(m => m.fieldToPile()),
            hit: () => this.act(m => ({ send: [m.hit()] })),
            hele: () => this.act(() => ({ send: ["/hele"] })),
            newGame: () => this.confirm(this.t("newGameConfirm"), () => this.act(() => ({ send: ["/init"] }))),
            startGame: fields => this.act(m => m.startGame(fields)),
            stopGame: () => this.confirm(this.t("stopGameConfirm"), () => this.act(m => ({ send: [m.stopGame()] }))),
            setTarget: text => this.typed(text, bytes => this.act(m => ({ send: [m.setTarget(bytes)] }))),
            copyLink: () => this.copyLink(),
            showAnswer: () => {
                this.model?.showExpression();
                this.render();
            },
            answer: text => this.typed(text, bytes => {
                const answer = this.model?.answer(bytes);
                if (answer)
                    this.connection.send([answer]);
            }),
            chat: text => this.typed(text, bytes => this.act(m => ({ send: [m.chat(bytes)] }))),
            leave: () => {
                this.leaveTable();
                history.pushState(null, "", "/");
            },
            switchLanguage: () => this.switchLanguage(),
        }, () => {
            this.model?.endHit();
            this.render();
        });
        this.body.replaceChildren(this.view.root, this.dialog);
        this.view.showChat(this.chatLines);
        this.render();
    }

    /**
     * The text in code page 932, unless a character cannot be sent: the player
     * is told which, and that character is given back.
     */
    private typed(text: string, then: (bytes: Bytes) => void): string | undefined {
        const character = unwritableCharacter(text);
        if (character !== undefined)
            this.message(this.t("unwritable", character));
        else
            then(encode(text));
        return character;
    }

    /** The table's address, a private table's key with it, to the clipboard (or shown to copy by hand). */
    private copyLink(): void {
        const link = location.href;
        const copied = navigator.clipboard?.writeText(link) ?? Promise.reject(new Error("no clipboard"));
        copied.then(() => this.message(this.t("linkCopied", link)), () => this.message(this.t("linkCopyByHand", link)));
    }

    private act(decide: (model: TableModel) => Action): void {
        if (!this.model || this.seat?.watch)
            return;
        const action = decide(this.model);
        if ("refuse" in action)
            this.message(this.t(action.refuse));
        else
            this.connection.send(action.send);
        this.render();
    }

    private received(text: Bytes): void {
        const model = this.model;
        if (!model)
            return;
        let events: TableEvent[];
        const token = model.token;
        try {
            events = model.receive(text);
        } catch (error) {
            // A command the table cannot take is left as far as it went.
            console.warn("kivol: command not applied", decode(text), error);
            events = [];
        }
        if (model.token !== token && model.token !== "")
            this.connection.level2Joined(model.token, model.graceSeconds);
        for (const event of events)
            this.effect(event);
        this.render();
    }

    private effect(event: TableEvent): void {
        switch (event.kind) {
        case "joined":
            this.chat(this.t("joined", decode(event.name)));
            this.sounds.play("join");
            break;
        case "left":
            this.chat(this.t("left", decode(event.name)));
            break;
        case "chat":
            this.chat(decode(event.line));
            this.sounds.play("message");
            break;
        case "drawn":
            this.sounds.play("draw");
            break;
        case "hit":
            this.chat(this.t("hitLine", decode(event.text)));
            this.sounds.play("hit");
            this.view?.showHit();
            break;
        case "target":
            this.view?.setTargetInput(decode(event.text));
            break;
        case "hele":
            this.sounds.play("hele");
            break;
        case "killed":
            this.leaveTable();
            history.pushState(null, "", "/");
            this.message(this.t("killed"));
            break;
        case "unknown":
            this.chat(this.t("unknownCommand"));
            break;
        case "synced":
            if (this.practice) {
                const fields = this.practice;
                this.practice = undefined;
                this.act(m => m.startGame(fields));
            }
            break;
        case "answerOpened":
            if (event.name === this.model?.playerName)
                this.view?.focusAnswer();
            break;
        case "gameRefused":
            this.message(decode(event.text));
            break;
        case "roster":
        case "gameStarted":
        case "gameEnded":
            break;
        }
    }

    private chat(line: string): void {
        this.chatLines = [line, ...this.chatLines].slice(0, ChatLines);
        this.view?.showChat(this.chatLines);
    }

    private statusText(): string {
        const r = this.connection.reconnector;
        if (r.active && r.waiting)
            return this.t("reconnectWaiting", r.waitSeconds, r.attempt);
        if (r.active)
            return this.t("reconnecting", r.attempt);
        if (this.seat?.watch)
            return this.t("watching");
        return "";
    }

    private render(): void {
        if (this.view && this.model && this.seat)
            this.view.render(this.model, {
                tableName: this.seat.table, watching: this.seat.watch, reconnecting: this.connection.reconnector.active,
                status: this.statusText(),
            });
    }

    /** Sends the leave sequence and returns to the lobby. */
    private leaveTable(): void {
        if (!this.model)
            return;
        this.connection.leave(this.seat?.watch ? [] : this.model.leaveSequence());
        this.showLobby();
    }

    private ended(): void {
        if (!this.model)
            return;
        const gaveUp = this.connection.reconnector.gaveUp;
        this.model = undefined;
        history.pushState(null, "", "/");
        this.showLobby();
        this.message(this.t(gaveUp ? "reconnectGaveUp" : "closed"));
    }

    /** A refused join: the lobby keeps the table's name, so that the player can add its key and try again. */
    private backToLobby(text: string): void {
        this.model = undefined;
        history.pushState(null, "", "/");
        this.showLobby(this.seat?.table);
        this.message(text);
    }

    private switchLanguage(): void {
        const language: Language = this.texts.language === "ja" ? "en" : "ja";
        localStorage.setItem(LanguageKey, language);
        this.texts = new Texts(language);
        document.documentElement.lang = language;
        if (this.model)
            this.showTable();
        else
            this.showLobby();
    }

    private message(text: string): void {
        this.showDialog(text, false, () => undefined);
    }

    private confirm(text: string, then: () => void): void {
        this.showDialog(text, true, then);
    }

    private showDialog(text: string, cancellable: boolean, then: () => void): void {
        const ok = h("button", { type: "button", class: "ok" }, this.t("ok"));
        const cancel = cancellable ? h("button", { type: "button" }, this.t("cancel")) : null;
        this.dialog.replaceChildren(h("p", { role: "alert" }, text), h("div", { class: "dialog-buttons" }, ok, cancel));
        ok.addEventListener("click", () => {
            this.dialog.close();
            then();
        });
        cancel?.addEventListener("click", () => this.dialog.close());
        if (!this.dialog.open)
            this.dialog.showModal();
        (cancel ?? ok).focus();
    }
}

new App(document.body);
