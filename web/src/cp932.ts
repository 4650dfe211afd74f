// Shift-JIS as Windows writes it (code page 932): the encoding of every text
// on the wire. The page holds texts as JavaScript strings; the rules that read
// fields by byte position work on byte strings, where each character stands
// for one byte (code 0 to 255).
//
// The browser's own Shift_JIS decoder is the Windows one, so decoding needs no
// table of ours, and the encoding table is built once by decoding every
// double-byte code.

/** A byte string: one character per byte, each of code 0 to 255. */
export type Bytes = string;

const decoder = new TextDecoder("shift_jis");
let encodeTable: Map<number, number> | undefined;

function isLeadByte(b: number): boolean {
    return (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
}

function isHalfWidthKatakana(codePoint: number): boolean {
    return codePoint >= 0xff61 && codePoint <= 0xff9f;
}

// Lead bytes in the order in which a character found under two codes takes
// the first: the NEC-selected IBM extensions (0xED, 0xEE) last, so such a
// character is written with its IBM extension code, as Windows writes it.
function leadBytesInPreferenceOrder(): number[] {
    const leads: number[] = [];
    for (let b = 0x81; b <= 0xfc; ++b)
        if (isLeadByte(b) && b !== 0xed && b !== 0xee)
            leads.push(b);
    leads.push(0xed, 0xee);
    return leads;
}

// Characters that Japanese input methods of other systems give for codes of
// code page 932, whose own decoding gives another character (U+301C WAVE
// DASH for 81 60, which Windows reads as U+FF5E).
const otherSystemsCodes: [number, number][] = [
    [0x301c, 0x8160], [0x2016, 0x8161], [0x2212, 0x817c], [0x00a2, 0x8191],
    [0x00a3, 0x8192], [0x00ac, 0x81ca], [0x2014, 0x815c], [0x00a6, 0xfa55],
];

function buildEncodeTable(): Map<number, number> {
    const table = new Map<number, number>(otherSystemsCodes);
    const pair = new Uint8Array(2);
    for (const lead of leadBytesInPreferenceOrder()) {
        pair[0] = lead;
        for (let trail = 0x40; trail <= 0xfc; ++trail) {
            if (trail === 0x7f)
                continue;
            pair[1] = trail;
            const text = decoder.decode(pair);
            if (text.length !== 1 || text === "\ufffd")
                continue;
            const codePoint = text.charCodeAt(0);
            if (!table.has(codePoint))
                table.set(codePoint, (lead << 8) | trail);
        }
    }
    return table;
}

function table(): Map<number, number> {
    encodeTable ??= buildEncodeTable();
    return encodeTable;
}

/** The bytes of one character, or undefined when code page 932 has no code for it. */
function encodeCharacter(character: string): Bytes | undefined {
    const codePoint = character.codePointAt(0) ?? 0;
    if (codePoint < 0x80)
        return character;
    if (isHalfWidthKatakana(codePoint))
        return String.fromCharCode(codePoint - 0xff61 + 0xa1);
    const code = table().get(codePoint);
    return code === undefined ? undefined : String.fromCharCode(code >> 8, code & 0xff);
}

/** The text's bytes; a character that code page 932 cannot write becomes "?". */
export function encode(text: string): Bytes {
    let bytes = "";
    for (const character of text)
        bytes += encodeCharacter(character) ?? "?";
    return bytes;
}

/** The first character of the text that code page 932 cannot write, if any. */
export function unwritableCharacter(text: string): string | undefined {
    for (const character of text)
        if (encodeCharacter(character) === undefined)
            return character;
    return undefined;
}

/** The number of bytes the text takes in code page 932 (an unwritable character as one "?"). */
export function byteLength(text: string): number {
    let length = 0;
    for (const character of text)
        length += encodeCharacter(character)?.length ?? 1;
    return length;
}

/** Bytes to text; an invalid byte or pair, or a cut-off lead byte, becomes U+FFFD. */
export function decode(bytes: Bytes): string {
    const array = new Uint8Array(bytes.length);
    for (let i = 0; i < bytes.length; ++i)
        array[i] = bytes.charCodeAt(i) & 0xff;
    return decoder.decode(array);
}
