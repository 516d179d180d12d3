// The console's line assembly, command recognition and reply markers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sim/unit/tests/HostVersion.h"
#include "sim/unit/UnitConsole.h"

namespace {

std::vector<ConsoleLine> take(UnitConsole& console, const std::string& bytes)
{
    return console.take(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::vector<std::string> feed(UnitConsole& console, const std::string& bytes)
{
    std::vector<std::string> texts;
    for (const ConsoleLine& line : take(console, bytes))
        texts.push_back(line.text);
    return texts;
}

TEST(ConsoleLines, EveryLineEndingEndsOneLineAtAnySplit)
{
    const std::string wire = "idn? k\n\ngetuid\r\nbtx\rboot\r\n\nxmodem 0B9EF0 960 G\n";
    const std::vector<std::string> expected = {"idn? k", "", "getuid", "btx", "boot", "",
                                               "xmodem 0B9EF0 960 G"};
    const std::string ends = "\n\n\r\r\r\n\n";
    UnitIdentity id;
    for (std::size_t split = 0; split <= wire.size(); ++split) {
        UnitConsole console(id);
        auto lines = take(console, wire.substr(0, split));
        auto rest = take(console, wire.substr(split));
        lines.insert(lines.end(), rest.begin(), rest.end());
        std::vector<std::string> texts;
        std::string gotEnds, raw;
        for (const ConsoleLine& line : lines) {
            texts.push_back(line.text);
            gotEnds += line.end;
            raw += line.raw;
        }
        EXPECT_EQ(texts, expected) << "split at " << split;
        EXPECT_EQ(gotEnds, ends) << "split at " << split;
        // Every byte shows in exactly one line's raw bytes.
        EXPECT_EQ(raw, wire) << "split at " << split;
    }
}

TEST(ConsoleLines, EditingAndControlBytes)
{
    UnitIdentity id;
    UnitConsole console(id);
    EXPECT_EQ(feed(console, "getuix\bd\x01\n"), std::vector<std::string>{"getuid"});
    EXPECT_EQ(feed(console, std::string(300, 'a') + "\n")[0].size(), 200u);
    feed(console, "half a line");
    console.clearLine();
    EXPECT_EQ(feed(console, "btx\n"), std::vector<std::string>{"btx"});
}

TEST(ConsoleReplies, IdentityMarkersOfEachKindAndModel)
{
    for (UnitKind kind : {UnitKind::Display, UnitKind::Remote}) {
        for (int model : {7300, 7350, 7355, 7410}) {
            for (bool j : {false, true}) {
                UnitIdentity id;
                id.kind = kind;
                id.model = model;
                id.jModel = j;
                id.serial = "K12345678";
                id.version = 2.122;
                UnitConsole console(id);
                std::string prompt = console.execute("").text;
                EXPECT_NE(prompt.find(">>"), std::string::npos);
                const char* marker = kind == UnitKind::Display ? "ne" : "fe";
                EXPECT_NE(prompt.find(marker), std::string::npos);

                std::string uid = console.execute("getuid").text;
                std::size_t sn = uid.find("SN=");
                ASSERT_NE(sn, std::string::npos);
                EXPECT_EQ(uid.substr(sn + 3, 9), "K12345678");
                std::string modelText = std::string("Model=") + (j ? "J" : "") + std::to_string(model);
                EXPECT_NE(uid.find(modelText), std::string::npos) << uid;
                EXPECT_NE(uid.find(">>"), std::string::npos);
            }
        }
    }
}

TEST(ConsoleReplies, VersionInBothForms)
{
    UnitIdentity id;
    id.version = 1.312;
    UnitConsole console(id);
    std::string k = console.execute("idn? k").text;
    EXPECT_NE(k.find("(K"), std::string::npos);
    EXPECT_DOUBLE_EQ(hostVersion(k), 1.312);
    EXPECT_NE(k.find(">>"), std::string::npos);
    id.plainVersion = true;
    id.version = 2.0;
    std::string plain = console.execute("  idn? k ").text;
    EXPECT_EQ(plain.find("(K"), std::string::npos);
    EXPECT_DOUBLE_EQ(hostVersion(plain), 2.0);
}

TEST(ConsoleReplies, RemoteHandsetNeverSaysNe)
{
    UnitIdentity id;
    id.kind = UnitKind::Remote;
    UnitConsole console(id);
    std::string all;
    for (const char* line : {"", "getuid", "idn? k", "xmodem 1 2", "xmodem ZZ 10 G", "help",
                             "boot now", "btx x"})
        all += console.execute(line).text;
    all += console.afterUpload(true, "13144 bytes at 90000") + console.afterUpload(false, "") +
           console.afterDownload(true) + console.afterDownload(false) + console.banner();
    EXPECT_EQ(all.find("ne"), std::string::npos) << all;
}

TEST(ConsoleCommands, ActionsAndHexArguments)
{
    UnitIdentity id;
    UnitConsole console(id);
    EXPECT_EQ(console.execute("btx").action, ConsoleReply::Receive);
    EXPECT_EQ(console.execute("boot").action, ConsoleReply::Restart);
    EXPECT_EQ(console.execute("reboot").action, ConsoleReply::Restart);

    ConsoleReply r = console.execute("xmodem 0B9EF0 960 G");
    EXPECT_EQ(r.action, ConsoleReply::Send);
    EXPECT_EQ(r.address, 0xB9EF0u);
    EXPECT_EQ(r.length, 0x960u);
    r = console.execute("xmodem 70000   40000 G");
    EXPECT_EQ(r.address, 0x70000u);
    EXPECT_EQ(r.length, 0x40000u);
    r = console.execute("xmodem 000ffff0 10 G");
    EXPECT_EQ(r.action, ConsoleReply::Send);
    EXPECT_EQ(r.length + r.address, 0x100000u);

    for (const char* bad : {"xmodem 70000 40000", "xmodem 70000 40000 g", "xmodem 0x7000 10 G",
                            "xmodem FFFF0 11 G", "xmodem 100 0 G", "xmodem 1 2 G extra",
                            "xmodem 123456789 1 G", "btx now", "idn?", "GETUID"}) {
        ConsoleReply e = console.execute(bad);
        EXPECT_EQ(e.action, ConsoleReply::None) << bad;
        EXPECT_NE(e.text.find("ERR"), std::string::npos) << bad;
        EXPECT_NE(e.text.find(">>"), std::string::npos) << bad;
    }
}

}  // namespace
