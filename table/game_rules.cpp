#include "table/game_rules.h"

#include "protocol/command_text.h"
#include "transport/packet_connection.h"

void TTableServices::Send(TPacketConnection& connection, const void* data, int size) const
{
    connection.SendPacket(data, size);
    if (Counters.PacketsSent)
        ++*Counters.PacketsSent;
    if (Counters.BytesSent)
        *Counters.BytesSent += size;
}

void TTableServices::SendText(TPacketConnection& connection, std::string_view text) const
{
    const AnsiString packet = Protocol::TextPacket(text);
    Send(connection, packet.data(), static_cast<int>(packet.size()));
}
