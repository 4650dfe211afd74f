// The keys of registered names, kept in the browser's local storage per
// server and name: every join of a name at the server that gave its key
// carries it, and the player can show a key to take the name to another
// device or import one from there. A server is kept as its host and port in
// lower case, a name as the server compares it (ASCII letters in lower case,
// the padding's spaces dropped), so that "KENJ" and "kenj" share one key.
import { isToken } from "./protocol.js";

const StorageKey = "kivol.namekeys";

/** What the store needs of local storage. */
export interface KeyStorage {
    getItem(key: string): string | null;
    setItem(key: string, value: string): void;
}

type Kept = Record<string, Record<string, string>>;

/** The name as the server compares it. */
export function foldedName(name: string): string {
    return name.replace(/ +$/, "").replace(/[A-Z]/g, c => c.toLowerCase());
}

/** A key as typed or pasted: spaces around it dropped, letters in lower case; undefined unless 32 hex digits. */
export function readKey(typed: string): string | undefined {
    const key = typed.trim().toLowerCase();
    return isToken(key) ? key : undefined;
}

export class NameKeys {
    private readonly server: string;

    /** server: the host and port the page came from (location.host). */
    constructor(private readonly storage: KeyStorage, server: string) {
        this.server = server.toLowerCase();
    }

    key(name: string): string | undefined {
        return this.kept()[this.server]?.[foldedName(name)];
    }

    /** False when the storage could not be written (full, or refused by the browser). */
    keep(name: string, key: string): boolean {
        const kept = this.kept();
        kept[this.server] = { ...kept[this.server], [foldedName(name)]: key };
        try {
            this.storage.setItem(StorageKey, JSON.stringify(kept));
            return true;
        } catch {
            return false;
        }
    }

    private kept(): Kept {
        try {
            const kept: unknown = JSON.parse(this.storage.getItem(StorageKey) ?? "{}");
            return kept !== null && typeof kept === "object" && !Array.isArray(kept) ? kept as Kept : {};
        } catch {
            return {};
        }
    }
}
