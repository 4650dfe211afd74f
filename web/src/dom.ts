// A small helper that builds elements: tag, attributes and properties, and
// children (text is always set as text, never parsed as markup).
type Child = Node | string | null | undefined | false;

export function h<K extends keyof HTMLElementTagNameMap>(
    tag: K, attributes: Record<string, string | boolean | number> = {}, ...children: Child[]): HTMLElementTagNameMap[K] {
    const element = document.createElement(tag);
    for (const [name, value] of Object.entries(attributes)) {
        if (value === false)
            continue;
        element.setAttribute(name, value === true ? "" : String(value));
    }
    for (const child of children)
        if (child !== null && child !== undefined && child !== false)
            element.append(child);
    return element;
}

/** Replaces an element's children. */
export function fill(element: Element, ...children: Child[]): void {
    element.replaceChildren(...children.filter((c): c is Node | string => c !== null && c !== undefined && c !== false));
}
