// The records pages: the leaderboard, a player's statistics with the rating
// chart and the last games (older ones paged in), and a game's standings
// with its replay on the table view. They render what the JSON routes give;
// the replay's steps are the replay model's.
import { fill, h } from "./dom.js";
import { LevelNames } from "./game_view.js";
import { ratingChart } from "./rating_chart.js";
import {
    LeaderboardRow, PlayerPage, RecordedEvent, RecordedGame, RecordedPlayer, RecordsRoute, gamesAddress,
    gamesOfNdjson, pageAddress,
} from "./records.js";
import { Replay, ReplayStanding } from "./replay.js";
import { TableActions, TableView, cardValue } from "./table_view.js";
import { Texts } from "./texts.js";

export interface RecordsHooks {
    switchLanguage(): void;
    /** The body of a GET, or a thrown error naming what failed. */
    fetchText(address: string): Promise<string>;
}

export interface RecordsPage {
    root: HTMLElement;
    dispose(): void;
}

const LeaderboardRows = 50;
const OlderGames = 20;
/** How long "play" shows each event. */
const PlayStepMs = 400;

export function browserFetchText(address: string): Promise<string> {
    return fetch(address).then(answer => {
        if (!answer.ok)
            throw new Error(`${answer.status} ${answer.statusText}`);
        return answer.text();
    });
}

export function recordsPage(texts: Texts, route: RecordsRoute, hooks: RecordsHooks): RecordsPage {
    const page = new RecordsPages(texts, hooks);
    switch (route.page) {
    case "leaderboard":
        return page.leaderboard();
    case "player":
        return page.player(route.name);
    case "game":
        return page.game(route.id);
    }
}

class RecordsPages {
    private readonly t: Texts["get"];

    constructor(private readonly texts: Texts, private readonly hooks: RecordsHooks) {
        this.t = texts.get;
    }

    leaderboard(): RecordsPage {
        const t = this.t;
        const rows = h("tbody");
        const status = h("p", { class: "list-status", role: "status" }, t("loading"));
        const previous = h("button", { type: "button", hidden: true }, t("previousPage"));
        const next = h("button", { type: "button", hidden: true }, t("nextPage"));
        let offset = 0;
        const load = () => this.load<{ players: LeaderboardRow[] }>(`/api/leaderboard?offset=${offset}&limit=${LeaderboardRows}`,
            status, board => {
                if (board.players.length === 0 && offset === 0)
                    status.textContent = t("leaderboardEmpty");
                fill(rows, ...board.players.map(row => h("tr", {},
                    h("td", {}, String(row.rank)), h("th", { scope: "row" }, this.playerLink(row.name)),
                    h("td", {}, row.rating.toFixed(0)), h("td", {}, String(row.games)), h("td", {}, String(row.wins)))));
                previous.hidden = offset === 0;
                next.hidden = board.players.length < LeaderboardRows;
            });
        previous.addEventListener("click", () => { offset = Math.max(0, offset - LeaderboardRows); load(); });
        next.addEventListener("click", () => { offset += LeaderboardRows; load(); });
        load();
        document.title = `${t("leaderboard")} – Kivol`;
        return this.page("leaderboard-page", t("leaderboard"),
            h("table", { class: "leaderboard" },
                h("thead", {}, h("tr", {}, ...(["rankColumn", "playerColumn", "ratingColumn", "gamesColumn", "winsColumn"] as const)
                    .map(key => h("th", { scope: "col" }, t(key))))),
                rows),
            status, h("p", { class: "paging" }, previous, next));
    }

    player(name: string): RecordsPage {
        const t = this.t;
        const status = h("p", { class: "list-status", role: "status" }, t("loading"));
        const content = h("div", { class: "player-content" });
        this.load<PlayerPage>(`/api/players/${encodeURIComponent(name)}`, status, player => {
            const s = player.statistics;
            const seconds = (ms: number | null) => ms === null ? t("none") : t("seconds", (ms / 1000).toFixed(2));
            const rating = player.rating;
            const stat = (key: Parameters<Texts["get"]>[0], value: string) => [h("dt", {}, t(key)), h("dd", {}, value)];
            const games = h("tbody");
            const older = h("button", { type: "button", class: "older-games" }, t("olderGames"));
            const shown: RecordedGame[] = [];
            const add = (more: RecordedGame[]) => {
                shown.push(...more);
                games.append(...more.map(game => this.gameRow(game, player.name)));
                older.hidden = more.length < OlderGames;
            };
            older.addEventListener("click", () => this.load(gamesAddress(player.name, OlderGames, shown.at(-1)?.id), status,
                add, gamesOfNdjson));
            add(player.games);
            fill(content,
                h("p", { class: "rating-now" }, rating
                    ? t("ratingNow", rating.rating.toFixed(0), rating.rd.toFixed(0)) + (rating.provisional ? `（${t("provisional")}）` : "")
                    : t("unrated"), player.unranked ? `　${t("unranked")}` : ""),
                h("section", { class: "statistics", "aria-labelledby": "statistics-heading" },
                    h("h2", { id: "statistics-heading" }, t("statistics")),
                    h("dl", {},
                        ...stat("statGames", String(s.games)),
                        ...stat("statPlaces", s.places.map((n, i) => t("placeTimes", i + 1, n)).join("、") || t("none")),
                        ...stat("statCards", String(s.cards)),
                        ...stat("statCorrect", String(s.correct_hits)),
                        ...stat("statWrong", String(s.wrong_hits)),
                        ...stat("statBest", seconds(s.best_reaction_ms)),
                        ...stat("statMedian", seconds(s.median_reaction_ms)))),
                player.history.length === 0 ? null : h("section", { class: "history", "aria-labelledby": "history-heading" },
                    h("h2", { id: "history-heading" }, t("ratingHistory")),
                    ratingChart(player.history, t("chartLabel", player.history.length,
                        player.history[0].rating.toFixed(0), player.history.at(-1)!.rating.toFixed(0)))),
                h("section", { class: "last-games", "aria-labelledby": "games-heading" },
                    h("h2", { id: "games-heading" }, t("lastGames")),
                    h("table", {}, h("thead", {}, h("tr", {}, ...(["whenColumn", "tableColumn", "placeColumn", "cardsColumn", "withColumn"] as const)
                        .map(key => h("th", { scope: "col" }, t(key))))), games),
                    older));
        });
        document.title = `${name} – Kivol`;
        return this.page("player-page", name, status, content);
    }

    game(id: number): RecordsPage {
        const t = this.t;
        const status = h("p", { class: "list-status", role: "status" }, t("loading"));
        const content = h("div", { class: "game-content" });
        let replayView: ReplayView | undefined;
        this.load<RecordedGame>(`/api/games/${id}`, status, game => {
            replayView = new ReplayView(this.texts, new Replay(game), this.hooks);
            fill(content,
                h("p", { class: "game-facts" }, `${game.table || t("mainTable")}　${localTime(game.start)}　`,
                    t(game.end_reason === "stop" ? "gameEndStop" : "gameEndDeck")),
                h("section", { class: "final-standings", "aria-labelledby": "final-heading" },
                    h("h2", { id: "final-heading" }, t("finalStandings")),
                    standingsList(this.texts, game.players.map(p => ({ name: p.name, cards: p.cards, place: p.place })), game.players)),
                replayView.root);
        });
        document.title = `${t("gameTitle", id)} – Kivol`;
        return { ...this.page("game-page", t("gameTitle", id), status, content), dispose: () => replayView?.dispose() };
    }

    /** Fetches the address into then, or says in status why it could not. */
    private load<T>(address: string, status: HTMLElement, then: (value: T) => void,
                    parse: (text: string) => T = text => JSON.parse(text) as T): void {
        status.textContent = this.t("loading");
        this.hooks.fetchText(address).then(text => {
            status.textContent = "";
            then(parse(text));
        }, (error: Error) => status.textContent = this.t("loadFailed", error.message));
    }

    private page(kind: string, title: string, ...children: HTMLElement[]): RecordsPage {
        const t = this.t;
        const language = h("button", { type: "button", lang: this.texts.language === "ja" ? "en" : "ja",
            "aria-label": t("languageSwitchLabel") }, t("languageSwitch"));
        language.addEventListener("click", () => this.hooks.switchLanguage());
        const root = h("div", { class: `records-page ${kind}` },
            h("header", { class: "bar" }, h("h1", {}, title),
                h("nav", {}, h("a", { href: pageAddress.leaderboard }, t("leaderboard")), h("a", { href: "/" }, t("toLobby"))),
                language),
            h("main", { class: "records-body" }, ...children));
        return { root, dispose: () => undefined };
    }

    private playerLink(name: string): HTMLAnchorElement {
        return h("a", { href: pageAddress.player(name) }, name);
    }

    private gameRow(game: RecordedGame, name: string): HTMLElement {
        const own = game.players.find(p => p.name.toLowerCase() === name.toLowerCase());
        return h("tr", {},
            h("td", {}, h("a", { href: pageAddress.game(game.id) }, localTime(game.start))),
            h("td", {}, game.table || this.t("mainTable")),
            h("td", {}, own ? String(own.place) : ""), h("td", {}, own ? String(own.cards) : ""),
            h("td", {}, game.players.filter(p => p !== own).map(p => playerLabel(this.texts, p)).join("、")));
    }
}

/** A player's name with its bot or guest mark. */
function playerLabel(texts: Texts, player: RecordedPlayer): string {
    const t = texts.get;
    if (player.bot !== null)
        return player.name + t("botMark", t(LevelNames[player.bot - 1] ?? "level3"));
    return player.name + (player.registered ? "" : t("guestMark"));
}

/** Standings, best first, as "1位 name N枚" lines. */
function standingsList(texts: Texts, standings: ReplayStanding[], players: RecordedPlayer[]): HTMLElement {
    return h("ol", { class: "standings-list" }, ...standings.map(s => {
        const player = players.find(p => p.name === s.name);
        return h("li", {}, texts.get("placeCards", s.place, player ? playerLabel(texts, player) : s.name, s.cards));
    }));
}

/** "2026/12/09 14:50" in the browser's time zone. */
function localTime(iso: string): string {
    const d = new Date(iso);
    const two = (n: number) => String(n).padStart(2, "0");
    return `${d.getFullYear()}/${two(d.getMonth() + 1)}/${two(d.getDate())} ${two(d.getHours())}:${two(d.getMinutes())}`;
}

/** The replay's controls, its standings and narration, over the table view of the replay's table. */
class ReplayView {
    readonly root: HTMLElement;
    private readonly table: TableView;
    private readonly position = h("output", { class: "replay-position" });
    private readonly caption = h("p", { class: "replay-caption", "aria-live": "polite" });
    private readonly standings = h("div", { class: "replay-standings" });
    private readonly buttons: Record<"start" | "back" | "step" | "play" | "end", HTMLButtonElement>;
    private timer: number | undefined;

    constructor(private readonly texts: Texts, private readonly replay: Replay, hooks: RecordsHooks) {
        const t = texts.get;
        const none = () => undefined;
        const actions: TableActions = {
            sitOrStand: none, takeCard: none, returnCard: none, draw: none, fieldToPile: none, hit: none, hele: none,
            newGame: none, startGame: none, stopGame: none, setTarget: none, showAnswer: none, answer: none, chat: none,
            copyLink: none, leave: none, switchLanguage: () => hooks.switchLanguage(),
        };
        this.table = new TableView(texts, actions, none, true);
        const button = (caption: string, action: () => void, cls: string) => {
            const b = h("button", { type: "button", class: cls }, caption);
            b.addEventListener("click", action);
            return b;
        };
        this.buttons = {
            start: button(t("toStart"), () => this.go(() => replay.seek(0)), "replay-start"),
            back: button(t("stepBack"), () => this.go(() => replay.back()), "replay-back"),
            step: button(t("stepForward"), () => this.go(() => replay.step()), "replay-step"),
            play: button(t("play"), () => this.togglePlay(), "replay-play"),
            end: button(t("toEnd"), () => this.go(() => replay.seek(replay.length)), "replay-end"),
        };
        this.root = h("section", { class: "replay", "aria-labelledby": "replay-heading" },
            h("h2", { id: "replay-heading" }, t("replay")),
            h("div", { class: "replay-controls" }, ...Object.values(this.buttons), this.position),
            this.caption,
            this.table.root,
            h("section", { class: "replay-standings-area", "aria-labelledby": "replay-standings-heading" },
                h("h3", { id: "replay-standings-heading" }, t("replayStandings")), this.standings));
        this.render();
    }

    dispose(): void {
        window.clearInterval(this.timer);
        this.table.dispose();
    }

    private go(move: () => unknown): void {
        this.stopPlaying();
        move();
        this.render();
    }

    private togglePlay(): void {
        if (this.timer !== undefined) {
            this.stopPlaying();
            this.render();
            return;
        }
        if (this.replay.position >= this.replay.length)
            this.replay.seek(0);
        this.timer = window.setInterval(() => {
            if (!this.replay.step())
                this.stopPlaying();
            this.render();
        }, PlayStepMs);
        this.render();
    }

    private stopPlaying(): void {
        window.clearInterval(this.timer);
        this.timer = undefined;
    }

    private render(): void {
        const t = this.texts.get;
        const r = this.replay;
        this.table.render(r.table, { tableName: r.game.table, watching: true, reconnecting: false, status: "" });
        this.position.textContent = t("replayPosition", r.position, r.length);
        const event = r.current;
        this.caption.textContent = event ? t("eventAt", (event.ms / 1000).toFixed(1), this.eventText(event)) : t("replayBefore");
        fill(this.standings, standingsList(this.texts, r.standings(), r.game.players));
        this.buttons.start.disabled = this.buttons.back.disabled = r.position === 0;
        this.buttons.step.disabled = this.buttons.end.disabled = r.position === r.length;
        this.buttons.play.textContent = this.timer === undefined ? t("play") : t("pause");
        this.table.showChat(r.events.slice(0, r.position).slice(-12).reverse().map(e => this.eventText(e)));
    }

    private eventText(event: RecordedEvent): string {
        const t = this.texts.get;
        const who = event.player ?? "";
        switch (event.kind) {
        case "join": return t("evJoin", who, (event.seat ?? 0) + 1);
        case "leave": return t("evLeave", who);
        case "target": return t("evTarget", event.target ?? "");
        case "deal": return t(event.makeable ? "evDealMakeable" : "evDeal", cardValue(String(event.card ?? 0)));
        case "clear": return t("evClear");
        case "hit": return t(event.first ? "evHit" : "evHitLate", who);
        case "answer": return t("evAnswer", who, event.answer ?? "", t(event.correct ? "correct" : "wrong"));
        case "take": return t("evTake", who, event.cards ?? 0);
        case "penalty": return t("evPenalty", who);
        }
    }
}
