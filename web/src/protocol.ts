// The wire texts of the game as byte strings (code page 932): command words,
// fields read by 1-based byte position, padded names, the roster text, the
// level-2 announcement, the table listing and the texts of registered names.
import { Bytes, byteLength, unwritableCharacter } from "./cp932.js";

export const Command = {
    Join: "/join", Left: "/left", Take: "/take", Leave: "/leave", FLeave: "/fleav", Set: "/set",
    Init: "/init", Draw: "/draw", B2T: "/B2T", T2Y: "/T2Y", B2Y: "/B2Y", Hit: "/hit", List: "/list",
    Kill: "/kill", Hele: "/hele",
    StateBegin: "/state begin", StateEnd: "/state end", Away: "/away", Back: "/back", Judge: "/judge",
    Answer: "/answer", Tables: "/tables", TablesBegin: "/tables begin", TablesRow: "/tables row ",
    TablesEnd: "/tables end", Refused: "/refused", Register: "/register", NameKey: "/namekey", Site: "/site",
} as const;

/** Where the fields of each command stand: 1-based byte positions. */
export const Layout = {
    JoinName: 7, LeftName: 7, KillName: 7, ListRoster: 7, TakeSeat: 7, TakeName: 9, LeaveSeat: 8,
    DrawName: 7, DrawCard: 16, CardDigits: 2, MoveSeat: 6, HitText: 6, SetName: 6, SetTarget: 15,
    AwayName: 7, JudgeName: 8,
} as const;

export const PaddedNameLength = 8;
export const TokenLength = 32;
export const Announcement = "KIVOL/2";
export const Prefix = "/";

/** True when the text begins with every byte of the word. */
export function isCommand(text: Bytes, word: string): boolean {
    return text.startsWith(word);
}

/** count bytes from position (1-based); cut short at the text's end. */
export function field(text: Bytes, position: number, count: number): Bytes {
    if (count <= 0)
        return "";
    const start = Math.max(position, 1) - 1;
    return text.substring(start, start + count);
}

export function fieldFrom(text: Bytes, position: number): Bytes {
    return text.substring(Math.max(position, 1) - 1);
}

export function nameField(text: Bytes, position: number): Bytes {
    return field(text, position, PaddedNameLength);
}

/** The name's bytes followed by spaces up to eight bytes (cut to eight). */
export function paddedName(name: Bytes): Bytes {
    return name.substring(0, PaddedNameLength).padEnd(PaddedNameLength, " ");
}

/** The text up to its first NUL: what a receiver reads of a packet. */
export function commandText(frame: string): string {
    const nul = frame.indexOf("\0");
    return nul < 0 ? frame : frame.substring(0, nul);
}

function isLeadByte(b: number): boolean {
    return (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
}

function isBlank(byte: string): boolean {
    return byte.charCodeAt(0) <= 0x20;
}

/**
 * The roster of a "/list": entries split at commas, an entry in double quotes
 * running to the next quote that is not doubled; a double-byte character is
 * stepped over whole, so its trail byte never ends an entry.
 */
export function splitRosterText(rosterText: Bytes): Bytes[] {
    const text = commandText(rosterText);
    const entries: Bytes[] = [];
    let pos = 0;
    const at = (c: string) => pos < text.length && text[pos] === c;
    const skipBlanks = () => {
        while (pos < text.length && isBlank(text[pos]))
            ++pos;
    };
    const takeCharacter = (): Bytes => {
        const n = isLeadByte(text.charCodeAt(pos)) && pos + 1 < text.length ? 2 : 1;
        const character = text.substring(pos, pos + n);
        pos += n;
        return character;
    };
    skipBlanks();
    while (pos < text.length) {
        let entry = "";
        if (at('"')) {
            ++pos;
            while (pos < text.length) {
                if (at('"')) {
                    ++pos;
                    if (!at('"'))
                        break;
                    entry += '"';
                    ++pos;
                } else {
                    entry += takeCharacter();
                }
            }
        } else {
            while (pos < text.length && !at(",") && !isBlank(text[pos]))
                entry += takeCharacter();
        }
        entries.push(entry);
        skipBlanks();
        if (at(",")) {
            if (pos + 1 === text.length)
                entries.push("");
            ++pos;
            skipBlanks();
        }
    }
    return entries;
}

/** Why a player's name cannot be used, or undefined when it can. */
export type NameProblem = { kind: "empty" } | { kind: "slash" } | { kind: "long" } |
    { kind: "character"; character: string };

/** The desktop client's check: 1 to 8 bytes in code page 932, no "/" first. */
export function nameProblem(name: string): NameProblem | undefined {
    if (name.length === 0)
        return { kind: "empty" };
    const character = unwritableCharacter(name);
    if (character !== undefined)
        return { kind: "character", character };
    if (name.startsWith(Prefix))
        return { kind: "slash" };
    if (byteLength(name) > PaddedNameLength)
        return { kind: "long" };
    return undefined;
}

const forbiddenInTableName = " \",/\\?#%&=";

/** A table name: 1 to 16 printable characters, at most 32 bytes, none of " ,/\?#%&= or a space. */
export function isTableName(name: string): boolean {
    const characters = [...name];
    if (characters.length < 1 || characters.length > 16 || unwritableCharacter(name) !== undefined ||
        byteLength(name) > 32)
        return false;
    return characters.every(c => !forbiddenInTableName.includes(c) && !/[\p{C}\p{Z}]/u.test(c));
}

/** A private table's key: 1 to 32 printable ASCII characters, no space. */
export function isTableKey(key: string): boolean {
    return /^[\x21-\x7e]{1,32}$/.test(key);
}

export interface JoinRequest {
    table: string;      // "" for the main table
    key?: string;
    watch: boolean;
    resumeToken?: string;
    /** The key of the player's registered name. */
    nameKey?: string;
}

/** The announcement after the NUL of "/join": "KIVOL/2" and its fields. */
export function announcementText(request: JoinRequest): string {
    let text = Announcement;
    if (request.resumeToken)
        text += " RESUME=" + request.resumeToken;
    if (request.table)
        text += " TABLE=" + request.table;
    if (request.key)
        text += " KEY=" + request.key;
    if (request.nameKey)
        text += " NAMEKEY=" + request.nameKey;
    if (request.watch)
        text += " WATCH";
    return text;
}

export interface TableRow {
    players: number;
    seated: number;
    watchers: number;
    game: boolean;
    name: string;
}

/** A "/tables row" text (already decoded): counts and the name; undefined when it is not one. */
export function readTableRow(text: string): TableRow | undefined {
    if (!text.startsWith(Command.TablesRow))
        return undefined;
    const match = /^(\d+) (\d+) (\d+) ([01]) (.*)$/su.exec(text.substring(Command.TablesRow.length));
    if (!match)
        return undefined;
    return {
        players: Number(match[1]), seated: Number(match[2]), watchers: Number(match[3]),
        game: match[4] === "1", name: match[5],
    };
}

/** "/refused " reason " " text (decoded): the reason and the sentence for the player. */
export function readRefused(text: string): { reason: string; text: string } | undefined {
    const match = /^\/refused (\S+) ?(.*)$/su.exec(text);
    return match ? { reason: match[1], text: match[2] } : undefined;
}

export function isToken(text: string): boolean {
    return text.length === TokenLength && /^[0-9a-f]+$/.test(text);
}

/** "/register " name: this connection asks for one of its names (its bytes, unpadded). */
export function registerText(name: Bytes): Bytes {
    return `${Command.Register} ${name}`;
}

/** "/namekey " padded name " " key, the answer to "/register"; undefined for any other text. */
export function readNameKey(text: Bytes): { name: Bytes; key: string } | undefined {
    const nameAt = Command.NameKey.length + 2;
    const keyAt = nameAt + PaddedNameLength + 1;
    const key = fieldFrom(text, keyAt);
    if (!isCommand(text, Command.NameKey + " ") || field(text, keyAt - 1, 1) !== " " || !isToken(key))
        return undefined;
    return { name: nameField(text, nameAt), key };
}
