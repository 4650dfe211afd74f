// The records as the web port's JSON gives them: the leaderboard, a
// player's page, a game with its events, and a player's games as NDJSON
// (one game a line, newest first, paged by "before" a game's id).

export interface LeaderboardRow {
    rank: number;
    name: string;
    rating: number;
    rd: number;
    games: number;
    wins: number;
}

export interface RecordedPlayer {
    name: string;
    registered: boolean;
    /** The computer player's level, or null for a person. */
    bot: number | null;
    seat: number;
    cards: number;
    place: number;
}

export interface RecordedEvent {
    ms: number;
    kind: "join" | "leave" | "target" | "deal" | "clear" | "hit" | "answer" | "take" | "penalty";
    player?: string;
    seat?: number;
    target?: number;
    card?: number;
    makeable?: boolean;
    verdict?: string;
    first?: boolean;
    answer?: string;
    correct?: boolean;
    cards?: number;
    why?: string;
}

export interface RecordedGame {
    id: number;
    table: string;
    host: string;
    start: string;
    end: string;
    fields: { target: number | "random"; pace: number; answer: number; bots: number; level: number };
    end_reason: "deck" | "stop";
    /** In standing order. */
    players: RecordedPlayer[];
    events?: RecordedEvent[];
}

export interface RatingPoint {
    game: number;
    time: string;
    rating: number;
    rd: number;
}

export interface PlayerPage {
    name: string;
    registered: boolean;
    unranked: boolean;
    rating: { rating: number; rd: number; volatility: number; provisional: boolean } | null;
    statistics: {
        games: number;
        /** places[i]: games finished in place i + 1. */
        places: number[];
        cards: number;
        correct_hits: number;
        wrong_hits: number;
        best_reaction_ms: number | null;
        median_reaction_ms: number | null;
    };
    /** Oldest first. */
    history: RatingPoint[];
    /** Newest first, without events. */
    games: RecordedGame[];
}

/** The games of an NDJSON text, one a line (blank lines skipped). */
export function gamesOfNdjson(text: string): RecordedGame[] {
    return text.split("\n").filter(line => line.trim() !== "").map(line => JSON.parse(line) as RecordedGame);
}

/** The address of a player's games after the given game (newest first), limit at a time. */
export function gamesAddress(name: string, limit: number, before?: number): string {
    const query = new URLSearchParams({ player: name, limit: String(limit) });
    if (before !== undefined)
        query.set("before", String(before));
    return `/api/games?${query}`;
}

/** The page addresses of the browser client. */
export const pageAddress = {
    leaderboard: "/leaderboard",
    player: (name: string) => `/p/${encodeURIComponent(name)}`,
    game: (id: number) => `/g/${id}`,
};

/** Which records page an address names, if any. */
export type RecordsRoute = { page: "leaderboard" } | { page: "player"; name: string } | { page: "game"; id: number };

export function recordsRoute(pathname: string): RecordsRoute | undefined {
    if (pathname === pageAddress.leaderboard)
        return { page: "leaderboard" };
    const player = /^\/p\/([^/]+)$/.exec(pathname);
    if (player) {
        try {
            return { page: "player", name: decodeURIComponent(player[1]) };
        } catch {
            return undefined;
        }
    }
    const game = /^\/g\/([1-9][0-9]{0,15})$/.exec(pathname);
    return game ? { page: "game", id: Number(game[1]) } : undefined;
}
