// Brings a dropped connection back: the first attempt 1 s after the drop, then
// after waits of 2, 4, 8 and 16 s, then every 30 s, for as long as the server
// keeps the player's place (its grace period, counted from the drop; 0 keeps
// it for ever). An attempt that would fall after the grace period is not made:
// the reconnector gives up instead.

export interface Clock {
    now(): number;
    setTimeout(callback: () => void, milliseconds: number): number;
    clearTimeout(handle: number): void;
}

export const browserClock: Clock = {
    now: () => Date.now(),
    setTimeout: (callback, milliseconds) => window.setTimeout(callback, milliseconds),
    clearTimeout: handle => window.clearTimeout(handle),
};

/** The wait before attempt n (from 1) in seconds: 1, 2, 4, 8, 16, then 30. */
export function waitBefore(attempt: number): number {
    return attempt <= 5 ? 2 ** (attempt - 1) : 30;
}

export class Reconnector {
    active = false;
    gaveUp = false;
    waiting = false;
    attempt = 0;
    waitSeconds = 0;
    /** Makes an attempt; called from the timer. */
    onAttempt: () => void = () => {};
    /** Anything above changed. */
    onChange: () => void = () => {};
    private graceEndsAt = 0;  // 0: no end
    private timer: number | undefined;

    constructor(private readonly clock: Clock) {}

    /** The connection dropped: schedules the first attempt. */
    start(graceSeconds: number): void {
        this.active = true;
        this.gaveUp = false;
        this.attempt = 0;
        this.graceEndsAt = graceSeconds > 0 ? this.clock.now() + graceSeconds * 1000 : 0;
        this.schedule();
    }

    /** The attempt failed, or dropped before the server took the player back. */
    attemptFailed(): void {
        if (this.active && !this.waiting)
            this.schedule();
    }

    /** The player is back, or asked to stop. */
    stop(): void {
        this.active = false;
        this.waiting = false;
        this.gaveUp = false;
        this.cancelTimer();
        this.onChange();
    }

    private schedule(): void {
        ++this.attempt;
        this.waitSeconds = waitBefore(this.attempt);
        const due = this.clock.now() + this.waitSeconds * 1000;
        if (this.graceEndsAt !== 0 && due > this.graceEndsAt) {
            this.stop();
            this.gaveUp = true;
            this.onChange();
            return;
        }
        this.waiting = true;
        this.cancelTimer();
        this.timer = this.clock.setTimeout(() => this.due(), this.waitSeconds * 1000);
        this.onChange();
    }

    private due(): void {
        this.timer = undefined;
        if (!this.waiting)
            return;
        this.waiting = false;
        this.onChange();
        this.onAttempt();
    }

    private cancelTimer(): void {
        if (this.timer !== undefined)
            this.clock.clearTimeout(this.timer);
        this.timer = undefined;
    }
}
