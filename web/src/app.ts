// The page: the lobby or a table, the page's address following the table
// ("/t/NAME", a private table's key in "#key="), the connection's frames into
// the table model, the model's events into sounds and chat lines, and the
// player's clicks into the texts the model says to send; the keys of
// registered names on every join, registering and importing them; and the
// records pages ("/leaderboard", "/p/NAME", "/g/ID").
import { Bytes, decode, encode, unwritableCharacter } from "./cp932.js";
import { Connection } from "./connection.js";
import { GameFields } from "./dealt_game.js";
import { h } from "./dom.js";
import { LobbyChoice, LobbyView, PracticeChoice } from "./lobby_view.js";
import { NameKeys, foldedName, readKey } from "./name_keys.js";
import { paddedName, registerText } from "./protocol.js";
import { RecordsRoute, recordsRoute } from "./records.js";
import { RecordsPage, browserFetchText, recordsPage } from "./records_view.js";
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
    /** A name being registered: the join that asks for it is under way. */
    private registering: string | undefined;
    private readonly keys = new NameKeys(localStorage, location.host);
    private records: RecordsPage | undefined;
    private readonly dialog = h("dialog", { class: "message" });

    constructor(private readonly body: HTMLElement) {
        const stored = localStorage.getItem(LanguageKey);
        this.texts = new Texts(stored === "ja" || stored === "en" ? stored : preferredLanguage(navigator.languages));
        document.documentElement.lang = this.texts.language;
        this.connection = new Connection({
            tables: rows => this.lobby?.showTables(rows),
            command: text => this.received(text),
            refused: (text, reason) => this.backToLobby(text, reason),
            ended: () => this.ended(),
            status: () => this.render(),
            unreachable: () => this.lobby?.showUnavailable(),
        }, browserClock);
        body.append(this.dialog);
        window.addEventListener("popstate", () => this.leaveTable());
        // A reload or a closed tab is a drop, not a leave: the entry and its
        // seats wait for the tab's token (a reload resumes with it at once).
        window.addEventListener("pagehide", () => this.connection.drop());
        const records = recordsRoute(location.pathname);
        if (records) {
            this.showRecords(records);
            return;
        }
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
            register: name => this.register(name),
            showKey: name => this.showKey(name),
            importKey: name => this.importKey(name, this.t("keyImportText", name), () => this.showLobby()),
            holdsKey: name => this.keys.key(name) !== undefined,
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
        this.connection.join(this.model.playerName,
            { table: choice.table, key: choice.key, watch: choice.watch, nameKey: this.keys.key(choice.name) });
    }

    private showRecords(route: RecordsRoute): void {
        this.records?.dispose();
        this.records = recordsPage(this.texts, route, { switchLanguage: () => this.switchLanguage(), fetchText: browserFetchText });
        this.body.replaceChildren(this.records.root, this.dialog);
    }

    /**
     * Registers the name: "/register" needs a connection that plays under it,
     * so the page joins a private table of its own, asks, and comes back to
     * the lobby with the key (or the reason there is none).
     */
    private register(name: string): void {
        this.joinPrivateTable(name);
        this.registering = name;
    }

    /** A key shown to copy, for another device. */
    private showKey(name: string, text = this.t("keyShowText")): void {
        const key = this.keys.key(name) ?? "";
        const field = h("input", { type: "text", readonly: true, value: key, class: "name-key", id: "name-key",
            spellcheck: "false", autocomplete: "off" });
        const copy = h("button", { type: "button", class: "copy-key" }, this.t("copyKey"));
        const copied = h("span", { role: "status" });
        copy.addEventListener("click", () => {
            field.select();
            navigator.clipboard?.writeText(key).then(() => copied.textContent = this.t("keyCopied"), () => undefined);
        });
        this.showDialog([h("p", {}, text), h("label", { for: "name-key" }, this.t("keyLabel", name)), field,
            h("div", {}, copy, copied)], this.t("close"), false, () => true);
    }

    /** A key pasted for the name; kept, then next. */
    private importKey(name: string, text: string, next: () => void): void {
        const field = h("input", { type: "text", class: "name-key", id: "import-key", spellcheck: "false", autocomplete: "off",
            "aria-describedby": "import-error" });
        const error = h("p", { class: "error", id: "import-error", "aria-live": "polite" });
        this.showDialog([h("p", { role: "alert" }, text), h("label", { for: "import-key" }, this.t("keyLabel", name)), field, error],
            this.t("importAndJoin"), true, () => {
                const key = readKey(field.value);
                error.textContent = "";
                if (!key)
                    error.textContent = this.t("keyInvalid");
                else if (!this.keys.keep(name, key))
                    error.textContent = this.t("keyNotKept");
                else
                    next();
                return error.textContent === "";
            });
        field.focus();
    }

    /** A private table of a random name and key, where this player sits and starts a game against bots. */
    private practise(choice: PracticeChoice): void {
        this.joinPrivateTable(choice.name);
        this.practice = { target: "random", pace: choice.pace, answer: 20, bots: choice.bots, level: choice.level };
    }

    private joinPrivateTable(name: string): void {
        const random = (bytes: number) => Array.from(crypto.getRandomValues(new Uint8Array(bytes)),
            b => b.toString(16).padStart(2, "0")).join("");
        this.join({ name, table: `練習${random(4)}`, key: random(12), watch: false });
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
            if (this.registering !== undefined)
                this.connection.send([registerText(encode(this.registering))]);
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
            this.endRegistering();
            this.message(decode(event.text));
            break;
        case "nameKey":
            if (this.registering !== undefined && foldedName(decode(event.name)) === foldedName(this.registering))
                this.registered(this.registering, event.key);
            break;
        case "roster":
        case "gameStarted":
        case "gameEnded":
            break;
        }
    }

    /** Back from the registration's table to the lobby. */
    private endRegistering(): void {
        if (this.registering === undefined)
            return;
        this.registering = undefined;
        this.leaveTable();
        history.pushState(null, "", "/");
    }

    private registered(name: string, key: string): void {
        this.endRegistering();
        const kept = this.keys.keep(name, key);
        this.showLobby();
        if (kept)
            this.showKey(name, this.t("registeredNow", name));
        else
            this.showKeyText(name, key);
    }

    /** A key that could not be kept: shown, to be copied by hand. */
    private showKeyText(name: string, key: string): void {
        this.showDialog([h("p", { role: "alert" }, this.t("keyNotKept")), h("p", {}, this.t("keyLabel", name)),
            h("p", { class: "name-key" }, key)], this.t("ok"), false, () => true);
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
        if (this.registering !== undefined)
            return this.t("registering");
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
        this.registering = undefined;
        if (!this.model)
            return;
        const gaveUp = this.connection.reconnector.gaveUp;
        this.model = undefined;
        history.pushState(null, "", "/");
        this.showLobby();
        this.message(this.t(gaveUp ? "reconnectGaveUp" : "closed"));
    }

    /**
     * A refused join: the lobby keeps the table's name, so that the player can
     * add its key and try again; a registered name without its key is offered
     * the import, which joins again.
     */
    private backToLobby(text: string, reason: string): void {
        const name = this.model ? decode(this.model.playerName).trimEnd() : "";
        const seat = this.seat;
        const registering = this.registering !== undefined;
        this.registering = undefined;
        this.model = undefined;
        history.pushState(null, "", "/");
        this.showLobby(this.seat?.table);
        // Imported while registering: the name is someone's already, and now this browser's too.
        if (reason === "claimed" && seat)
            this.importKey(name, `${text}\n${this.t("claimedImport")}`,
                registering ? () => this.showLobby() : () => this.join({ name, ...seat }));
        else
            this.message(text);
    }

    private switchLanguage(): void {
        const language: Language = this.texts.language === "ja" ? "en" : "ja";
        localStorage.setItem(LanguageKey, language);
        this.texts = new Texts(language);
        document.documentElement.lang = language;
        const records = recordsRoute(location.pathname);
        if (this.model)
            this.showTable();
        else if (records)
            this.showRecords(records);
        else
            this.showLobby();
    }

    private message(text: string): void {
        this.showDialog([h("p", { role: "alert" }, text)], this.t("ok"), false, () => true);
    }

    private confirm(text: string, then: () => void): void {
        this.showDialog([h("p", { role: "alert" }, text)], this.t("ok"), true, () => {
            then();
            return true;
        });
    }

    /** The dialog with its content; ok closes it when done says so. */
    private showDialog(content: HTMLElement[], okCaption: string, cancellable: boolean, done: () => boolean): void {
        const ok = h("button", { type: "button", class: "ok" }, okCaption);
        const cancel = cancellable ? h("button", { type: "button" }, this.t("cancel")) : null;
        this.dialog.replaceChildren(...content, h("div", { class: "dialog-buttons" }, ok, cancel));
        ok.addEventListener("click", () => {
            // The dialog closes first: what done opens next may be a dialog itself.
            this.dialog.close();
            if (!done())
                this.dialog.showModal();
        });
        cancel?.addEventListener("click", () => this.dialog.close());
        if (!this.dialog.open)
            this.dialog.showModal();
        (cancel ?? ok).focus();
    }
}

new App(document.body);
