// The versioned names of the card pictures ("01.png" ... "54.png"), the
// sounds and the icons: the build writes this module with the real names.
export const assetNames: Record<string, string> = {};
