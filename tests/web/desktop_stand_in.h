#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/table_model.h"
#include "platform/ansi_string.h"

// What the desktop window does with its table model, without the window: the
// dispatch of received commands (level-2 words only after a valid sync block)
// and the rules of the table's buttons. The browser's model must reach the
// same state and send the same texts.
class TDesktopStandIn {
public:
    explicit TDesktopStandIn(AnsiString paddedName) : name_(std::move(paddedName)) {}

    // A received command text; false when the table model raised an error.
    bool Receive(std::string_view text);

    // A button: the texts sent, or the refusal's key.
    struct TOutcome {
        std::vector<AnsiString> Sent;
        std::string Refusal;
    };
    TOutcome Take(int seat);
    TOutcome FieldToHand(int seat);
    TOutcome HandToPile(int seat);
    TOutcome FieldToPile();
    TOutcome Draw();
    TOutcome Leave();
    void ShowExpression() { model_.ShowExpression(); }
    void EndHit() { model_.EndHit(); }
    // A new connection after a drop: level 1 until a sync block comes.
    void StartOver();

    const TTableModel& Model() const { return model_; }
    const std::vector<AnsiString>& Roster() const { return roster_; }
    bool Level2() const { return level2_; }
    const AnsiString& Token() const { return token_; }
    const AnsiString& Name() const { return name_; }

private:
    bool Level2Command(std::string_view text);

    AnsiString name_;
    TTableModel model_;
    std::vector<AnsiString> roster_;
    bool level2_ = false;
    AnsiString token_;
};
