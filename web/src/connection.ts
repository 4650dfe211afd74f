// The page's one WebSocket to kivolsrv and what happens to it: the table
// listing before joining (on the socket the join then uses), the level-2 join,
// every received frame handed on as code-page-932 bytes, and coming back with
// the roster entry's token after a drop. One text frame is one packet's text:
// the command, its NUL and any trailer.
import { Bytes, decode, encode } from "./cp932.js";
import { Command, JoinRequest, TableRow, announcementText, commandText, readRefused, readTableRow } from "./protocol.js";
import { Clock, Reconnector } from "./reconnector.js";

/** How often the lobby asks for the table list (the server answers at most once a second). */
const ListingIntervalMs = 5000;
const ResumeKey = "kivol.resume";

export interface ConnectionListener {
    tables(rows: TableRow[]): void;
    /** A command after the join; state tells whether the level-2 token arrived. */
    command(text: Bytes): void;
    /** The join was refused: the reason word ("claimed", "key", ...) and the sentence for the player. */
    refused(text: string, reason: string): void;
    /** The connection ended and will not come back by itself. */
    ended(): void;
    /** The reconnection status changed. */
    status(): void;
    /** The lobby's socket could not reach the server (the listing tries again). */
    unreachable(): void;
}

interface StoredResume {
    table: string;
    name: string;
    token: string;
}

export class Connection {
    readonly reconnector: Reconnector;
    private socket: WebSocket | undefined;
    private rows: TableRow[] = [];
    private listingTimer: number | undefined;
    private joinText: string | undefined;
    private request: JoinRequest | undefined;
    private name: Bytes = "";
    private joined = false;
    private leaving = false;
    /** The level-2 token of the roster entry and the server's grace period. */
    private token = "";
    private graceSeconds = 0;

    constructor(private readonly listener: ConnectionListener, clock: Clock,
                private readonly url = Connection.pageSocketUrl()) {
        this.reconnector = new Reconnector(clock);
        this.reconnector.onAttempt = () => this.open();
        this.reconnector.onChange = () => this.listener.status();
    }

    static pageSocketUrl(): string {
        return `${location.protocol === "https:" ? "wss" : "ws"}://${location.host}/ws`;
    }

    /** Lists the tables now and every few seconds until a join. */
    startListing(): void {
        this.stopListing();
        const ask = () => {
            if (this.socket?.readyState === WebSocket.OPEN)
                this.sendFrame(Command.Tables + "\0");
            else if (!this.socket)
                this.open();
        };
        ask();
        this.listingTimer = window.setInterval(ask, ListingIntervalMs);
    }

    stopListing(): void {
        window.clearInterval(this.listingTimer);
        this.listingTimer = undefined;
    }

    /** Joins (or watches) a table as the padded name, on the lobby's socket when it is open. */
    join(paddedName: Bytes, request: JoinRequest): void {
        this.stopListing();
        this.name = paddedName;
        this.request = request;
        this.leaving = false;
        this.token = "";
        const resume = Connection.canResume(request.table, decode(paddedName)) && !request.watch
            ? Connection.storedResume()!.token : undefined;
        this.joinText = this.joinFrame(resume);
        if (this.socket?.readyState === WebSocket.OPEN)
            this.sendJoin();
        else if (!this.socket)
            this.open();
    }

    /** Sends command texts (bytes), each with its NUL. */
    send(texts: Bytes[]): void {
        for (const text of texts)
            this.sendFrame(decode(text) + "\0");
    }

    /** The player leaves: the texts go out, and the connection ends without coming back. */
    leave(texts: Bytes[]): void {
        this.leaving = true;
        this.reconnector.stop();
        if (this.joined)
            this.send(texts);
        sessionStorage.removeItem(ResumeKey);
        this.close();
    }

    /**
     * The page goes away (a reload, a closed tab): the socket closes without
     * the leave sequence, and the tab keeps its token to resume with.
     */
    drop(): void {
        this.leaving = true;
        this.reconnector.stop();
        this.close();
    }

    /** The server's token and grace period, from the sync block's first line. */
    level2Joined(token: string, graceSeconds: number): void {
        this.token = token;
        this.graceSeconds = graceSeconds;
        if (this.request && !this.request.watch) {
            const stored: StoredResume = { table: this.request.table, name: decode(this.name), token };
            sessionStorage.setItem(ResumeKey, JSON.stringify(stored));
        }
        this.reconnector.stop();
    }

    /** The tab holds a token for an entry of that padded name at that table. */
    static canResume(table: string, paddedName: string): boolean {
        const stored = Connection.storedResume();
        return !!stored && stored.table === table && stored.name === paddedName;
    }

    private static storedResume(): StoredResume | undefined {
        try {
            return JSON.parse(sessionStorage.getItem(ResumeKey) ?? "null") ?? undefined;
        } catch {
            return undefined;
        }
    }

    private joinFrame(resumeToken: string | undefined): string {
        return `${Command.Join} ${decode(this.name)}\0${announcementText({ ...this.request!, resumeToken })}`;
    }

    private open(): void {
        const socket = new WebSocket(this.url);
        this.socket = socket;
        socket.onopen = () => {
            if (this.joinText !== undefined)
                this.sendJoin();
            else
                this.sendFrame(Command.Tables + "\0");
        };
        socket.onmessage = event => {
            if (typeof event.data === "string")
                this.frame(commandText(event.data));
        };
        socket.onclose = () => {
            if (this.socket === socket)
                this.closed();
        };
    }

    private sendJoin(): void {
        this.sendFrame(this.joinText!);
        this.joined = true;
    }

    private sendFrame(frame: string): void {
        if (this.socket?.readyState === WebSocket.OPEN)
            this.socket.send(frame);
    }

    private frame(text: string): void {
        if (text.startsWith(Command.TablesBegin)) {
            this.rows = [];
        } else if (text.startsWith(Command.TablesRow)) {
            const row = readTableRow(text);
            if (row)
                this.rows.push(row);
        } else if (text.startsWith(Command.TablesEnd)) {
            this.listener.tables(this.rows);
        } else if (text.startsWith(Command.Refused)) {
            this.leaving = true;
            this.reconnector.stop();
            sessionStorage.removeItem(ResumeKey);
            const refusal = readRefused(text);
            this.listener.refused(refusal?.text ?? text, refusal?.reason ?? "");
        } else if (this.joined) {
            // The roster answers every join: the server took the player back.
            if (text.startsWith(Command.List) && this.reconnector.active)
                this.reconnector.stop();
            this.listener.command(encode(text));
        }
    }

    private closed(): void {
        this.socket = undefined;
        const wasJoined = this.joined;
        this.joined = false;
        if (!wasJoined && this.joinText === undefined) {
            // The lobby's socket: the listing opens another on its next turn.
            this.listener.unreachable();
            return;
        }
        if (this.reconnector.active) {
            this.reconnector.attemptFailed();
        } else if (wasJoined && !this.leaving && this.token !== "" && !this.request?.watch) {
            this.joinText = this.joinFrame(this.token);
            this.reconnector.start(this.graceSeconds);
        }
        if (!this.reconnector.active) {
            this.joinText = undefined;
            this.listener.ended();
            // Back at the lobby while this socket was closing (a refused join):
            // the listing goes on at once on a new socket.
            if (this.listingTimer !== undefined && !this.socket)
                this.open();
        }
    }

    private close(): void {
        const socket = this.socket;
        this.socket = undefined;
        this.joined = false;
        this.joinText = undefined;
        socket?.close();
        this.stopListing();
    }
}
