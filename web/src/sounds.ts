// The desktop client's sounds. Browsers let a page play sound only after the
// player touched or clicked it, so nothing plays before the first gesture.
import { assetNames } from "./asset_names.js";

export type Sound = "draw" | "join" | "hit" | "message" | "hele";

export class Sounds {
    private unlocked = false;
    private readonly audio = new Map<Sound, HTMLAudioElement>();

    constructor() {
        const unlock = () => {
            this.unlocked = true;
            window.removeEventListener("pointerdown", unlock);
            window.removeEventListener("keydown", unlock);
        };
        window.addEventListener("pointerdown", unlock);
        window.addEventListener("keydown", unlock);
    }

    play(sound: Sound): void {
        if (!this.unlocked)
            return;
        let audio = this.audio.get(sound);
        if (!audio) {
            audio = new Audio(`/assets/${assetNames[`${sound}.wav`]}`);
            this.audio.set(sound, audio);
        }
        audio.currentTime = 0;
        audio.play().catch(() => undefined);
    }
}
