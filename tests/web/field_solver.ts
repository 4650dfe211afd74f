// A player's search for a calculation, for the browser tests that play dealt
// games: the field's card values as the page shows them, and an expression
// of at most four of them (jokers left aside) that makes the target exactly,
// in fractions. Small fields are searched whole in well under a second.

interface Term {
    /** The value as a fraction in lowest terms, the denominator positive. */
    numerator: number;
    denominator: number;
    text: string;
}

const MaxCards = 4;

function gcd(a: number, b: number): number {
    a = Math.abs(a);
    b = Math.abs(b);
    while (b !== 0)
        [a, b] = [b, a % b];
    return a;
}

function term(numerator: number, denominator: number, text: string): Term | undefined {
    if (denominator === 0)
        return undefined;
    const divisor = gcd(numerator, denominator) * Math.sign(denominator);
    return { numerator: numerator / divisor, denominator: denominator / divisor, text };
}

/** Every value that one operation makes of a and b, in either order. */
function combinations(a: Term, b: Term): Term[] {
    const [an, ad, bn, bd] = [a.numerator, a.denominator, b.numerator, b.denominator];
    return [
        term(an * bd + bn * ad, ad * bd, `(${a.text}+${b.text})`),
        term(an * bd - bn * ad, ad * bd, `(${a.text}-${b.text})`),
        term(bn * ad - an * bd, ad * bd, `(${b.text}-${a.text})`),
        term(an * bn, ad * bd, `(${a.text}*${b.text})`),
        term(an * bd, ad * bn, `(${a.text}/${b.text})`),
        term(bn * ad, bd * an, `(${b.text}/${a.text})`),
    ].filter((t): t is Term => t !== undefined);
}

/** An expression that uses every term once and makes the target. */
function allOf(terms: Term[], target: number): string | undefined {
    if (terms.length === 1)
        return terms[0].denominator === 1 && terms[0].numerator === target ? terms[0].text : undefined;
    for (let i = 0; i < terms.length; ++i)
        for (let j = i + 1; j < terms.length; ++j) {
            const rest = terms.filter((_, k) => k !== i && k !== j);
            for (const made of combinations(terms[i], terms[j])) {
                const found = allOf([...rest, made], target);
                if (found)
                    return found;
            }
        }
    return undefined;
}

/** Subsets of the given size, each set of values once. */
function* subsets(values: number[], size: number, from = 0, chosen: number[] = []): Generator<number[]> {
    if (chosen.length === size) {
        yield chosen;
        return;
    }
    let previous: number | undefined;
    for (let i = from; i < values.length; ++i) {
        if (values[i] === previous)
            continue;
        previous = values[i];
        yield* subsets(values, size, i + 1, [...chosen, values[i]]);
    }
}

/**
 * An expression of field values (undefined for a joker) that makes the
 * target, with as few cards as it finds; undefined when none of up to four
 * cards does.
 */
export function solveField(values: (number | undefined)[], target: number): string | undefined {
    const known = values.filter((v): v is number => v !== undefined).sort((a, b) => a - b);
    for (let size = 1; size <= Math.min(MaxCards, known.length); ++size)
        for (const chosen of subsets(known, size)) {
            const found = allOf(chosen.map(v => ({ numerator: v, denominator: 1, text: String(v) })), target);
            if (found)
                return found;
        }
    return undefined;
}

/** A value of the field that is not the target, as a calculation that the server judges wrong. */
export function wrongAnswer(values: (number | undefined)[], target: number): string | undefined {
    const value = values.find(v => v !== undefined && v !== target);
    return value === undefined ? undefined : String(value);
}
