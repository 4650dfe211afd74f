#include "server/web_admission.h"

#include "platform/address_pattern.h"

void AdmitWebPlayers(TWebRouteHooks& hooks, TGameServer& game)
{
    // An address that cannot be read (none a socket gives) is neither
    // counted nor refused.
    hooks.AdmitPlayer = [&game](const AnsiString& address) {
        const auto ip = ReadIpAddress(address);
        return !ip || game.AdmitAddress(*ip);
    };
    hooks.ReleasePlayer = [&game](const AnsiString& address) {
        if (const auto ip = ReadIpAddress(address))
            game.ReleaseAddress(*ip);
    };
}
