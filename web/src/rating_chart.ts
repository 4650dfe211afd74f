// A rating history as a small inline SVG chart: the ratings after each game
// as a line, oldest on the left, the band of one RD either side behind it,
// scaled into a fixed box with the lowest and highest values at its edges.
import { RatingPoint } from "./records.js";

export const ChartWidth = 320;
export const ChartHeight = 120;
const Margin = 6;
const SvgNamespace = "http://www.w3.org/2000/svg";

export interface ChartShape {
    /** The rating line's points. */
    line: { x: number; y: number }[];
    /** The closed outline of the band rating ± RD. */
    band: string;
    low: number;
    high: number;
}

/** Where each point of the history lies in the chart's box (y grows downward). */
export function chartShape(history: readonly RatingPoint[]): ChartShape {
    const low = Math.min(...history.map(p => p.rating - p.rd));
    const high = Math.max(...history.map(p => p.rating + p.rd));
    const span = Math.max(high - low, 1);
    const x = (i: number) => Margin + (history.length === 1 ? 0.5 : i / (history.length - 1)) * (ChartWidth - 2 * Margin);
    const y = (value: number) => Margin + (high - value) / span * (ChartHeight - 2 * Margin);
    const round = (n: number) => Math.round(n * 10) / 10;
    const line = history.map((p, i) => ({ x: round(x(i)), y: round(y(p.rating)) }));
    const upper = history.map((p, i) => `${round(x(i))},${round(y(p.rating + p.rd))}`);
    const lower = history.map((p, i) => `${round(x(i))},${round(y(p.rating - p.rd))}`).reverse();
    return { line, band: [...upper, ...lower].join(" "), low, high };
}

/** The chart as an SVG element, described by label for those who cannot see it. */
export function ratingChart(history: readonly RatingPoint[], label: string): SVGSVGElement {
    const element = <K extends keyof SVGElementTagNameMap>(tag: K, attributes: Record<string, string | number>) => {
        const e = document.createElementNS(SvgNamespace, tag);
        for (const [name, value] of Object.entries(attributes))
            e.setAttribute(name, String(value));
        return e;
    };
    const svg = element("svg", { viewBox: `0 0 ${ChartWidth} ${ChartHeight}`, class: "rating-chart", role: "img", "aria-label": label });
    if (history.length === 0)
        return svg;
    const shape = chartShape(history);
    svg.append(element("polygon", { points: shape.band, class: "rating-band" }),
        element("polyline", { points: shape.line.map(p => `${p.x},${p.y}`).join(" "), class: "rating-line" }));
    for (const p of shape.line)
        svg.append(element("circle", { cx: p.x, cy: p.y, r: 2.5, class: "rating-point" }));
    return svg;
}
