#pragma once

#include <QUrl>
#include <string_view>

// Where a level-2 server's pages are, as its "/site " url line told: the
// leaderboard and each player's page under that base address. Only an http or
// https address is taken, since the pages open in the default browser.
class TRecordsSite {
public:
    // A "/site" text; a base address without its final "/" gets one. Any
    // other address leaves the site unknown.
    void Apply(std::string_view text);
    void Clear() { base_.clear(); }
    bool Known() const { return !base_.isEmpty(); }

    QUrl Leaderboard() const;
    // p/NAME, the name (code page 932, padded or not) as percent-encoded UTF-8.
    QUrl PlayerPage(std::string_view name) const;

private:
    QUrl base_;
};
