// A stand-in for kivolsrv's web port in the browser tests: it serves the
// built web root as the server does ("/" and "/t/NAME" with index.html,
// "/assets/..." with their types, CSP "default-src 'self'") and answers the
// WebSocket at /ws with a script: the table listing, for a join the roster
// and a sync block of a game under way, for a hit its time and judgement.
import { createHash } from "node:crypto";
import { readFileSync } from "node:fs";
import { AddressInfo } from "node:net";
import { Server, createServer } from "node:http";
import { Duplex } from "node:stream";
import { extname, join, normalize } from "node:path";

const types: Record<string, string> = {
    ".html": "text/html; charset=utf-8", ".js": "text/javascript", ".css": "text/css", ".png": "image/png",
    ".wav": "audio/wav",
};

/** Every text frame's text the page sent, in order. */
export interface PageServer {
    url: string;
    received: string[];
    /** Ends every WebSocket without a close frame, as a dropped connection ends. */
    drop(): void;
    close(): Promise<void>;
}

function sendText(socket: Duplex, text: string): void {
    const payload = Buffer.from(text, "utf8");
    const header = payload.length < 126 ? Buffer.from([0x81, payload.length])
        : Buffer.from([0x81, 126, payload.length >> 8, payload.length & 0xff]);
    socket.write(Buffer.concat([header, payload]));
}

// Client frames: masked, short enough for a 16-bit length; a close frame ends the socket.
function readFrames(buffer: Buffer, onText: (text: string) => void, onClose: () => void): Buffer {
    while (buffer.length >= 6) {
        const opcode = buffer[0] & 0x0f;
        let length = buffer[1] & 0x7f;
        let offset = 2;
        if (length === 126) {
            length = buffer.readUInt16BE(2);
            offset = 4;
        }
        if (buffer.length < offset + 4 + length)
            break;
        const mask = buffer.subarray(offset, offset + 4);
        const payload = Buffer.from(buffer.subarray(offset + 4, offset + 4 + length).map((b, i) => b ^ mask[i % 4]));
        buffer = buffer.subarray(offset + 4 + length);
        if (opcode === 1)
            onText(payload.toString("utf8"));
        else if (opcode === 8)
            onClose();
    }
    return buffer;
}

const token = "0123456789abcdef0123456789abcdef";

/** The script: what the stand-in answers to each frame. */
function answers(frame: string): string[] {
    const text = frame.split("\0")[0];
    if (text === "/tables")
        return ["/tables begin", "/tables row 3 2 0 1 ", "/tables row 1 1 2 1 金曜", "/tables row 0 0 1 0 Friday_Night",
            "/tables end"];
    if (text.startsWith("/join ")) {
        const name = text.substring(6);
        return ["/list \"花子    \",\"" + name + "\"", `/state begin ${token} 120`, "/init", "/take 0 花子    ",
            `/take 2 ${name}`, "/draw 花子     07", "/B2T 0 花子    ", "/draw 花子     12", "/draw 花子     53",
            `/draw ${name} 40`, "/set 花子     24", "/state end", "花子    : よろしく！"];
    }
    if (text.startsWith("/hit "))
        return [`${text} 2026/12/08 18:00:00`, `/judge ${text.substring(5)} Y 1 12+(53-41)`];
    return [];
}

export async function startPageServer(webRoot: string): Promise<PageServer> {
    const received: string[] = [];
    const sockets = new Set<Duplex>();
    const server: Server = createServer((request, response) => {
        const path = decodeURIComponent(new URL(request.url ?? "/", "http://x").pathname);
        const file = path === "/" || path.startsWith("/t/") ? "index.html" : normalize(path).replace(/^\/+/, "");
        const headers = { "Content-Security-Policy": "default-src 'self'", "X-Content-Type-Options": "nosniff" };
        try {
            if (!file.startsWith("assets/") && file !== "index.html")
                throw new Error("not served");
            const body = readFileSync(join(webRoot, file));
            response.writeHead(200, { ...headers, "Content-Type": types[extname(file)] ?? "application/octet-stream" });
            response.end(body);
        } catch {
            response.writeHead(404, headers);
            response.end();
        }
    });
    server.on("upgrade", (request, socket) => {
        sockets.add(socket);
        const accept = createHash("sha1").update(`${request.headers["sec-websocket-key"]}258EAFA5-E914-47DA-95CA-C5AB0DC85B11`)
            .digest("base64");
        socket.write(`HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: ${accept}\r\n\r\n`);
        let pending = Buffer.alloc(0);
        socket.on("data", (data: Buffer) => {
            pending = readFrames(Buffer.concat([pending, data]), text => {
                received.push(text);
                for (const answer of answers(text))
                    sendText(socket, answer);
            }, () => socket.end());
        });
        socket.on("close", () => sockets.delete(socket));
        socket.on("error", () => sockets.delete(socket));
    });
    await new Promise<void>(resolve => server.listen(0, "127.0.0.1", resolve));
    const { port } = server.address() as AddressInfo;
    return {
        url: `http://127.0.0.1:${port}`,
        received,
        drop: () => {
            for (const socket of sockets)
                socket.destroy();
        },
        close: () => new Promise<void>(resolve => {
            for (const socket of sockets)
                socket.destroy();
            server.close(() => resolve());
        }),
    };
}
