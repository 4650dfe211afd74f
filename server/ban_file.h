#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "server/ban_list.h"

// The bans as the server keeps them on disk: a JSON object
//   {"next_id": N, "bans": [{"id": 1, "name": "..." | "address": "ADDRESS/PREFIX",
//     "until": SECONDS, "reason": "...", "who": UID, "when": SECONDS}, ...]}
// with names as UTF-8, times as seconds since 1970 (until 0: until lifted).
struct TBanFile {
    std::vector<TBan> Bans;
    int NextId = 1;
};

QByteArray BanFileBytes(const TBanFile& file);

// Reads the bytes strictly: anything missing, of the wrong type or out of
// range is an error, given as a text that says where (an empty text when
// the bytes are good).
QString ReadBanFile(const QByteArray& bytes, TBanFile& file);
