// The desktop client's window as a player in a process of its own
// (kivol_desktop_player), for the browser tests: started at an address in a
// name, with settings of its own, and asked one command at a time.
import assert from "node:assert/strict";
import { ChildProcess, spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createInterface } from "node:readline";

import { shots } from "./browser_session.js";

export const desktopProgram = process.env.KIVOL_DESKTOP_PLAYER ?? "";
/** Longer than the player's own waits (a minute each), so that its error line comes first. */
const AnswerMs = 90000;

/** The desktop player's window in a process of its own, asked one command at a time. */
export class DesktopPlayer {
    private readonly lines: string[] = [];
    private waiting?: { resolve: (line: string) => void; reject: (error: Error) => void };
    private log = "";

    private constructor(private readonly child: ChildProcess, private readonly settings: string) {
        createInterface({ input: child.stdout! }).on("line", line => {
            const waiting = this.waiting;
            this.waiting = undefined;
            if (waiting)
                waiting.resolve(line);
            else
                this.lines.push(line);
        });
        child.stderr!.on("data", (data: Buffer) => { this.log += data.toString("utf8"); });
        child.once("exit", code => this.waiting?.reject(new Error(`the desktop player ended (${code}): ${this.log}`)));
    }

    /** Starts the window as the name at the address; resolves with its first line, "connected" or "refused …". */
    static async start(address: string, name: string): Promise<{ player: DesktopPlayer; first: string }> {
        const settings = mkdtempSync(join(tmpdir(), "kivol-desktop-"));
        const child = spawn(desktopProgram, [address, name, shots], {
            env: { ...process.env, QT_QPA_PLATFORM: "offscreen", XDG_CONFIG_HOME: settings },
            stdio: ["pipe", "pipe", "pipe"],
        });
        const player = new DesktopPlayer(child, settings);
        return { player, first: await player.next() };
    }

    /** The next line the player writes, or a failure with what it wrote on its error output. */
    private next(): Promise<string> {
        const line = this.lines.shift();
        if (line !== undefined)
            return Promise.resolve(line);
        return new Promise((resolve, reject) => {
            const timer = setTimeout(() => reject(new Error(`the desktop player said nothing: ${this.log}`)), AnswerMs);
            this.waiting = {
                resolve: line => {
                    clearTimeout(timer);
                    resolve(line);
                },
                reject: error => {
                    clearTimeout(timer);
                    reject(error);
                },
            };
        });
    }

    async ask(command: string): Promise<string> {
        this.child.stdin!.write(command + "\n");
        const answer = await this.next();
        assert.ok(!answer.startsWith("error"), `${command}: ${answer}\n${this.log}`);
        return answer;
    }

    async close(): Promise<void> {
        if (this.child.exitCode === null && this.child.signalCode === null) {
            const exited = new Promise(resolve => this.child.once("exit", resolve));
            this.child.stdin!.end("quit\n");
            await exited;
        }
        rmSync(this.settings, { recursive: true, force: true });
    }
}
