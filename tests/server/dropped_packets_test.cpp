// Every packet the server drops is counted in kivol_dropped_packets_total by
// why, as the operator's monitoring reads it.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "dealt_game_rig.h"
#include "protocol/tables.h"

namespace {

using namespace server_test;
using Protocol::PaddedName;

// The dropped packets' series of a metrics text, by why.
std::map<std::string, double> DroppedByWhy(const std::string& metrics)
{
    std::map<std::string, double> counts;
    const std::regex series(R"re(^kivol_dropped_packets_total\{why="([a-z_]+)"\} (\S+)$)re", std::regex::multiline);
    for (auto it = std::sregex_iterator(metrics.begin(), metrics.end(), series); it != std::sregex_iterator(); ++it)
        counts[(*it)[1]] = std::stod((*it)[2]);
    return counts;
}

TEST(DroppedPackets, EachKindOfDropIsCountedUnderItsWhyAndNothingElseIs)
{
    TDealtGameRig rig;
    TRigClient& ann = rig.Join("ann", true);
    TRigClient& bob = rig.Join("bob", false);
    TRigClient& eye = rig.Open();
    rig.SendPacket(eye, "/join " + PaddedName("eye") + '\0' + "KIVOL/2 WATCH");
    TRigClient& stranger = rig.Open();
    const std::string A = PaddedName("ann"), B = PaddedName("bob");

    rig.Send(bob, "/draw " + A);                  // name
    rig.Send(stranger, "/hele");                  // unjoined
    rig.Send(eye, PaddedName("eye") + ": hi");    // watcher
    rig.Send(bob, "/kill " + A);                  // server_only
    rig.Send(bob, "/list \"" + B + "\"");         // server_only
    rig.Send(ann, "/B2T 7 " + A);                 // seat
    rig.Send(ann, "/T2Y x " + A);                 // seat
    rig.Send(bob, "/deal " + B + " start");       // word: level 2 only
    rig.Send(bob, "/tables");                     // word: level 2 only over TCP
    rig.Send(ann, "/tables");
    rig.Send(ann, "/tables");                     // tables: within the second
    rig.Send(ann, "/answer " + A + " 1+2");       // answer: no hit to answer
    for (const char* name : {"b2", "b3", "b4", "b5"})
        rig.Send(bob, "/join " + PaddedName(name));  // join: the fifth name
    rig.Send(ann, "/init");
    for (int i = 0; i < 13; ++i)
        rig.Send(ann, "/draw " + A);              // full_field: the thirteenth
    EXPECT_EQ(rig.Table().Bafuda.Count, 12);
    rig.Server().Mute("bob", {});
    rig.Send(bob, B + ": hush");                  // muted
    rig.Server().Unmute("bob");

    rig.Send(ann, "/take 0 " + A);
    rig.Send(ann, "/deal " + A + " start TARGET=10 PACE=1 ANSWER=5");
    ASSERT_TRUE(rig.Table().Game().Running());
    rig.Send(bob, "/draw " + B);                  // game
    rig.Send(ann, "/deal " + A + " stop");

    TRigClient& refused = rig.Open();
    rig.SendPacket(refused, "/join " + PaddedName("far") + '\0' + "KIVOL/2 TABLE=" + std::string(40, 'x'));
    ASSERT_TRUE(refused.Connection.Closing());
    rig.Send(refused, "/hele");                   // closing

    rig.Server().Kick(&bob.Connection, Protocol::Tables::TRefusal::Kicked, {});
    rig.Send(bob, B + ": still here");            // kicked
    rig.Send(bob, "/left " + B);                  // its leave sequence goes on

    EXPECT_EQ(DroppedByWhy(rig.Server().Metrics.Render()),
              (std::map<std::string, double>{{"answer", 1},
                                             {"closing", 1},
                                             {"full_field", 1},
                                             {"game", 1},
                                             {"join", 1},
                                             {"kicked", 1},
                                             {"muted", 1},
                                             {"name", 1},
                                             {"seat", 2},
                                             {"server_only", 2},
                                             {"tables", 1},
                                             {"unjoined", 1},
                                             {"watcher", 1},
                                             {"word", 2}}));
    EXPECT_EQ(rig.Table().Roster.IndexOf(B), -1);
}

}  // namespace
