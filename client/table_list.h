#pragma once

#include <QString>
#include <optional>
#include <string_view>
#include <vector>

#include "client/table_place.h"
#include "protocol/tables.h"

// The listing of a server's tables, without any widget: the rows of the last
// whole answer to "/tables" ("/tables begin", rows, "/tables end"), and the
// choices the list offers.
class TTableList {
public:
    // Applies one "/tables" command; true when it ended a listing, so the
    // rows changed. A row outside a listing, or one that cannot be read, is
    // ignored.
    bool Apply(std::string_view commandText);
    const std::vector<Protocol::Tables::TTableRow>& Rows() const { return rows_; }
    // Forgets the rows, as when the connection changes.
    void Clear();

    // Joining or watching the listed table in that row.
    std::optional<TTableChoice> ListedChoice(int row, bool watch) const;
    // Making (or joining) a table by the name and key the player typed; an
    // empty key makes a public table. Nothing, with the reason for the
    // player, when the name or the key cannot be sent.
    static std::optional<TTableChoice> NewTableChoice(const QString& name, const QString& key, QString& problem);
    // A private table of one's own to practise at: the prefix and random hex
    // digits for its name, and a random key nobody else will type.
    static TTableChoice PracticeChoice(const QString& namePrefix);

private:
    std::vector<Protocol::Tables::TTableRow> rows_;
    std::vector<Protocol::Tables::TTableRow> incoming_;
    bool receiving_ = false;
};
