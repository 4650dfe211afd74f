// The built kivolsrv, headless on loopback, its game port and web port free
// ports of this machine, for the browser tests against the real server; and
// cutting the browser's connections at the server's side.
import { ChildProcess, execFileSync, spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { createServer } from "node:net";
import { tmpdir } from "node:os";
import { join } from "node:path";

export interface RealServer {
    gamePort: number;
    webPort: number;
    url: string;
    /** What the server wrote on standard output and error so far (its log). */
    output(): string;
    stop(): Promise<void>;
}

/** A port that nothing listens on now (another program may still take it before the server does). */
function freePort(): Promise<number> {
    return new Promise((resolve, reject) => {
        const probe = createServer();
        probe.once("error", reject);
        probe.listen(0, "127.0.0.1", () => {
            const { port } = probe.address() as { port: number };
            probe.close(() => resolve(port));
        });
    });
}

/** Asks /healthz until it answers "ok" or the server ends; false when it ended. */
async function healthy(url: string, child: ChildProcess, milliseconds: number): Promise<boolean> {
    const deadline = Date.now() + milliseconds;
    while (child.exitCode === null && child.signalCode === null) {
        if (Date.now() > deadline)
            return false;
        try {
            const answer = await fetch(`${url}/healthz`, { signal: AbortSignal.timeout(2000) });
            if (answer.ok && (await answer.text()).trim() === "ok")
                return true;
        } catch {
            // Not listening yet.
        }
        await new Promise(resolve => setTimeout(resolve, 50));
    }
    return false;
}

async function stopped(child: ChildProcess): Promise<void> {
    if (child.exitCode !== null || child.signalCode !== null)
        return;
    const exited = new Promise(resolve => child.once("exit", resolve));
    child.kill("SIGTERM");
    await exited;
}

/**
 * Starts the program with the given web root; a start that fails (a port was
 * taken in the meantime) is tried again on other ports.
 */
export async function startRealServer(program: string, webRoot: string, extraArguments: string[] = []): Promise<RealServer> {
    const stateHome = mkdtempSync(join(tmpdir(), "kivol-e2e-"));
    let log = "";
    for (let attempt = 1; ; ++attempt) {
        const gamePort = await freePort();
        const webPort = await freePort();
        const child = spawn(program, ["--headless", "--listen", "127.0.0.1", "--port", String(gamePort),
            "--web-port", String(webPort), "--web-root", webRoot, ...extraArguments], {
            env: { ...process.env, XDG_STATE_HOME: stateHome, DISPLAY: "", WAYLAND_DISPLAY: "" },
            stdio: ["ignore", "pipe", "pipe"],
        });
        child.stdout!.on("data", (data: Buffer) => { log += data.toString("utf8"); });
        child.stderr!.on("data", (data: Buffer) => { log += data.toString("utf8"); });
        const url = `http://127.0.0.1:${webPort}`;
        if (await healthy(url, child, 30000)) {
            return {
                gamePort, webPort, url,
                output: () => log,
                stop: async () => {
                    await stopped(child);
                    rmSync(stateHome, { recursive: true, force: true });
                },
            };
        }
        await stopped(child);
        if (attempt === 3) {
            rmSync(stateHome, { recursive: true, force: true });
            throw new Error(`kivolsrv did not answer /healthz: ${log}`);
        }
    }
}

/**
 * Destroys, at the server's side, every established TCP connection to the
 * web port (the browser's WebSocket and any idle HTTP connection): the
 * kernel's socket-destroy through "ss -K", which needs CAP_NET_ADMIN. The
 * server sees its socket fail as on a broken network; the browser gets a
 * reset. Gives the number of connections destroyed.
 */
export function cutWebConnections(server: RealServer): number {
    const listing = execFileSync("ss", ["-K", "-t", "-n", "-H", "state", "established",
        "src", "127.0.0.1", "sport", "=", `:${server.webPort}`], { encoding: "utf8" });
    return listing.split("\n").filter(line => line.trim() !== "").length;
}
