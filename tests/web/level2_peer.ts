// A scripted desktop player on the game's TCP port: packets of a 4-byte
// little-endian length and the command text in code page 932, a level-2 join,
// and every received command's text (up to its NUL) kept as Unicode, so that a
// test can wait for what a desktop client would have shown.
import { Socket, connect } from "node:net";

import { Bytes, decode, encode } from "../../web/src/cp932.js";
import { paddedName } from "../../web/src/protocol.js";

export interface PeerJoin {
    table?: string;
    key?: string;
}

export class Level2Peer {
    /** Every received command's text up to its NUL, decoded, in order. */
    readonly received: string[] = [];
    readonly name: string;
    private pending = Buffer.alloc(0);
    private ended = false;
    private readonly waiters = new Set<() => void>();

    private constructor(private readonly socket: Socket, name: string) {
        this.name = name;
        socket.on("data", data => this.read(data));
        socket.on("close", () => {
            this.ended = true;
            this.wake();
        });
        socket.on("error", () => undefined);
    }

    static async connect(port: number, name: string): Promise<Level2Peer> {
        const socket = connect({ host: "127.0.0.1", port });
        await new Promise<void>((resolve, reject) => {
            socket.once("connect", resolve);
            socket.once("error", reject);
        });
        return new Level2Peer(socket, name);
    }

    /** The name padded to eight bytes, as it stands in commands. */
    get padded(): string {
        return decode(paddedName(encode(this.name)));
    }

    /** Joins with "KIVOL/2" and the table's fields; resolves at the sync block's end. */
    async join(request: PeerJoin = {}): Promise<void> {
        let trailer = "KIVOL/2";
        if (request.table)
            trailer += ` TABLE=${request.table}`;
        if (request.key)
            trailer += ` KEY=${request.key}`;
        const from = this.received.length;
        this.sendPacket(encode(`/join ${this.padded}`) + "\0" + encode(trailer));
        await this.waitFor(text => text === "/state end", "the sync block's end", from);
    }

    /** Sends one command text (Unicode) with its NUL. */
    send(text: string): void {
        this.sendPacket(encode(text) + "\0");
    }

    /** The first text from the given index on that the test accepts; waits for it at most the given time. */
    waitFor(accept: (text: string) => boolean, what: string, from = 0, milliseconds = 15000): Promise<string> {
        return new Promise((resolve, reject) => {
            const look = () => {
                const found = this.received.slice(from).find(accept);
                if (found !== undefined) {
                    finish();
                    resolve(found);
                } else if (this.ended) {
                    finish();
                    reject(new Error(`the peer's connection ended while waiting for ${what}; received ${JSON.stringify(this.received)}`));
                }
            };
            const timer = setTimeout(() => {
                finish();
                reject(new Error(`waiting for ${what}; received ${JSON.stringify(this.received.slice(from))}`));
            }, milliseconds);
            const finish = () => {
                clearTimeout(timer);
                this.waiters.delete(look);
            };
            this.waiters.add(look);
            look();
        });
    }

    close(): void {
        this.socket.destroy();
    }

    private sendPacket(bytes: Bytes): void {
        const payload = Buffer.from(bytes, "latin1");
        const length = Buffer.alloc(4);
        length.writeUInt32LE(payload.length);
        this.socket.write(Buffer.concat([length, payload]));
    }

    private read(data: Buffer): void {
        this.pending = Buffer.concat([this.pending, data]);
        while (this.pending.length >= 4) {
            const size = this.pending.readUInt32LE(0);
            if (this.pending.length < 4 + size)
                break;
            const payload = this.pending.subarray(4, 4 + size).toString("latin1");
            this.pending = this.pending.subarray(4 + size);
            const nul = payload.indexOf("\0");
            this.received.push(decode(nul < 0 ? payload : payload.substring(0, nul)));
        }
        this.wake();
    }

    private wake(): void {
        for (const look of [...this.waiters])
            look();
    }
}
