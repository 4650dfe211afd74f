// The lobby: the player's name with its registration (register it, show its
// key for another device, import a key), the table of the page's address (a
// shared link, a private table's too) to join, the listed tables with join
// and watch, a new table with an optional key, and links to the records
// pages. It checks what the player typed and hands the choice on; the
// listing comes from the connection.
import { fill, h } from "./dom.js";
import { NameProblem, TableRow, isTableKey, isTableName, nameProblem } from "./protocol.js";
import { levelSelect } from "./game_view.js";
import { pageAddress } from "./records.js";
import { TextKey, Texts } from "./texts.js";

export interface LobbyChoice {
    name: string;
    table: string;
    key?: string;
    watch: boolean;
}

export interface PracticeChoice {
    name: string;
    bots: number;
    level: number;
    pace: number;
}

export interface LobbyActions {
    choose(choice: LobbyChoice): void;
    practise(choice: PracticeChoice): void;
    nameChanged(name: string): void;
    switchLanguage(): void;
    register(name: string): void;
    showKey(name: string): void;
    importKey(name: string): void;
    /** This browser holds the key of the name. */
    holdsKey(name: string): boolean;
}

const problemText: Record<NameProblem["kind"], TextKey> = {
    empty: "nameEmpty", slash: "nameSlash", long: "nameLong", character: "nameCharacter",
};

export class LobbyView {
    readonly root: HTMLElement;
    private readonly nameInput: HTMLInputElement;
    private readonly nameError = h("p", { class: "error", id: "name-error", "aria-live": "polite" });
    private readonly rows = h("tbody");
    private readonly listStatus = h("p", { class: "list-status", role: "status" });
    private readonly tableError = h("p", { class: "error", id: "table-error", "aria-live": "polite" });
    private readonly keyState = h("p", { class: "key-state" });
    private readonly registerButton: HTMLButtonElement;
    private readonly showKeyButton: HTMLButtonElement;
    private readonly ownRecords = h("a", { class: "own-records" });

    /** presetTable and presetKey fill the new-table form; linked: they came from the page's address. */
    constructor(private readonly texts: Texts, private readonly actions: LobbyActions, name: string,
                private readonly presetTable: string | undefined, presetKey: string | undefined, linked: boolean) {
        const t = texts.get;
        this.nameInput = h("input", {
            type: "text", id: "player-name", value: name, autocomplete: "nickname", maxlength: 8,
            "aria-describedby": "name-error", spellcheck: "false",
        });
        this.nameInput.addEventListener("input", () => {
            this.nameError.textContent = "";
            actions.nameChanged(this.nameInput.value);
            this.renderName();
        });
        const nameAction = (caption: string, act: (name: string) => void) => {
            const b = h("button", { type: "button" }, caption);
            b.addEventListener("click", () => {
                const checked = this.checkedName();
                if (checked !== undefined)
                    act(checked);
            });
            return b;
        };
        this.registerButton = nameAction(t("register"), name => actions.register(name));
        this.showKeyButton = nameAction(t("showKey"), name => actions.showKey(name));
        const importButton = nameAction(t("importKey"), name => actions.importKey(name));

        const tableName = h("input", { type: "text", id: "new-table-name", value: presetTable ?? "", maxlength: 16, "aria-describedby": "table-error" });
        const tableKey = h("input", { type: "text", id: "new-table-key", value: presetKey ?? "", maxlength: 32, autocomplete: "off", spellcheck: "false",
            "aria-describedby": "table-error" });
        for (const input of [tableName, tableKey])
            input.addEventListener("input", () => this.tableError.textContent = "");
        const newTable = h("form", { class: "new-table" },
            h("h2", {}, t("newTable")),
            h("label", { for: "new-table-name" }, t("newTableName")), tableName,
            h("label", { for: "new-table-key" }, t("newTableKey")), tableKey,
            h("button", { type: "submit" }, t("newTableCreate")), this.tableError);
        const linkedTable = linked && presetTable ? h("section", { class: "linked-table", "aria-labelledby": "linked-heading" },
            h("h2", { id: "linked-heading" }, t("linkedTable")),
            h("p", {}, h("strong", {}, presetTable),
                h("button", { type: "button", class: "join-linked", "aria-label": t("joinTable", presetTable) }, t("join")))) : null;
        linkedTable?.querySelector("button")?.addEventListener("click", () => this.choose(presetTable!, presetKey, false));
        newTable.addEventListener("submit", e => {
            e.preventDefault();
            const key = tableKey.value;
            if (!isTableName(tableName.value))
                this.tableError.textContent = t("tableNameInvalid");
            else if (key !== "" && !isTableKey(key))
                this.tableError.textContent = t("tableKeyInvalid");
            else
                this.choose(tableName.value, key || undefined, false);
        });

        const bots = h("select", { id: "practice-bots" });
        for (let n = 1; n <= 5; ++n)
            bots.append(h("option", { value: n, selected: n === 2 }, String(n)));
        const level = levelSelect(texts, "practice-level", 3);
        const pace = h("select", { id: "practice-pace" });
        for (const seconds of [1, 2, 3, 5, 8])
            pace.append(h("option", { value: seconds, selected: seconds === 5 }, String(seconds)));
        const practice = h("form", { class: "practice", "aria-labelledby": "practice-heading" },
            h("h2", { id: "practice-heading" }, t("practice")), h("p", {}, t("practiceText")),
            h("div", { class: "practice-fields" },
                h("label", { for: "practice-bots" }, t("practiceBots")), bots,
                h("label", { for: "practice-level" }, t("practiceLevel")), level,
                h("label", { for: "practice-pace" }, t("practicePace")), pace),
            h("button", { type: "submit", class: "practice-start" }, t("practiceStart")));
        practice.addEventListener("submit", e => {
            e.preventDefault();
            const name = this.checkedName();
            if (name !== undefined)
                actions.practise({ name, bots: Number(bots.value), level: Number(level.value), pace: Number(pace.value) });
        });

        this.root = h("main", { class: "lobby" },
            h("header", { class: "bar" }, h("h1", {}, t("title")),
                this.languageButton()),
            h("section", { class: "name" },
                h("label", { for: "player-name" }, t("name")), this.nameInput, this.nameError,
                h("div", { class: "registration", role: "group", "aria-label": t("registration") },
                    this.keyState, this.registerButton, this.showKeyButton, importButton),
                h("nav", { class: "records-links" }, h("a", { href: pageAddress.leaderboard }, t("leaderboard")), this.ownRecords)),
            linkedTable,
            practice,
            h("section", { class: "tables", "aria-labelledby": "tables-heading" },
                h("h2", { id: "tables-heading" }, t("tables")),
                h("table", {},
                    h("thead", {}, h("tr", {},
                        h("th", { scope: "col" }, t("tableColumn")), h("th", { scope: "col" }, t("playersColumn")),
                        h("th", { scope: "col" }, t("seatedColumn")), h("th", { scope: "col" }, t("watchersColumn")),
                        h("th", { scope: "col" }, t("gameColumn")), h("td", {}))),
                    this.rows),
                this.listStatus),
            newTable);
        this.listStatus.textContent = t("tablesRefreshing");
        this.renderName();
    }

    /** What the name's registration offers: register it, or show the key this browser holds. */
    private renderName(): void {
        const name = this.nameInput.value;
        const usable = nameProblem(name) === undefined;
        const held = usable && this.actions.holdsKey(name);
        this.keyState.textContent = !usable ? this.texts.get("registrationText")
            : held ? this.texts.get("keyKept") : `${this.texts.get("keyNotHeld")} ${this.texts.get("registrationText")}`;
        this.registerButton.hidden = held;
        this.showKeyButton.hidden = !held;
        this.ownRecords.hidden = !usable;
        this.ownRecords.textContent = this.texts.get("myRecords");
        if (usable)
            this.ownRecords.href = pageAddress.player(name);
    }

    private languageButton(): HTMLButtonElement {
        const b = h("button", { type: "button", lang: this.texts.language === "ja" ? "en" : "ja",
            "aria-label": this.texts.get("languageSwitchLabel") }, this.texts.get("languageSwitch"));
        b.addEventListener("click", () => this.actions.switchLanguage());
        return b;
    }

    /** The name as typed, when it can be used; otherwise says why not and gives undefined. */
    checkedName(): string | undefined {
        const problem = nameProblem(this.nameInput.value);
        if (!problem)
            return this.nameInput.value;
        this.nameError.textContent = this.texts.get(problemText[problem.kind], problem.kind === "character" ? problem.character : "");
        this.nameInput.focus();
        return undefined;
    }

    private choose(table: string, key: string | undefined, watch: boolean): void {
        const name = this.checkedName();
        if (name !== undefined)
            this.actions.choose({ name, table, key, watch });
    }

    showTables(rows: readonly TableRow[]): void {
        const t = this.texts.get;
        this.listStatus.textContent = "";
        fill(this.rows, ...rows.map(row => {
            const title = row.name || t("mainTable");
            const join = h("button", { type: "button", "aria-label": t("joinTable", title) }, t("join"));
            const watch = h("button", { type: "button", "aria-label": t("watchTable", title) }, t("watch"));
            join.addEventListener("click", () => this.choose(row.name, undefined, false));
            watch.addEventListener("click", () => this.choose(row.name, undefined, true));
            const current = row.name !== "" && row.name.toLowerCase() === this.presetTable?.toLowerCase();
            return h("tr", { class: current ? "current" : "" },
                h("th", { scope: "row" }, title), h("td", {}, String(row.players)), h("td", {}, String(row.seated)),
                h("td", {}, String(row.watchers)), h("td", {}, row.game ? t("gameOn") : t("gameOff")),
                h("td", { class: "row-actions" }, join, watch));
        }));
    }

    showUnavailable(): void {
        this.listStatus.textContent = this.texts.get("tablesUnavailable");
    }
}
