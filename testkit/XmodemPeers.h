// Scripted XMODEM peers on a fake port: a receiver that takes what the host
// sends, and a sender that feeds the host a planned sequence of frames.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testkit/FakePort.h"

namespace testkit {

// Builds one frame: header, number, complement, data (padded with pad to
// size), then CRC-16 high byte first, or the one-byte sum.
std::vector<std::uint8_t> xmodemFrame(int number, const std::vector<std::uint8_t>& data,
                                      int size, bool crc, std::uint8_t pad = 0x00);
// True when bytes hold the cancel sequence (ten CAN, ten BS).
bool containsCancelSequence(const std::vector<std::uint8_t>& bytes);

// A frame as the receiving peer parsed it.
struct ReceivedFrame {
    int header = 0;          // SOH or STX
    int number = 0;
    int complement = 0;
    std::vector<std::uint8_t> data;
    unsigned check = 0;      // as received
    bool checkOk = false;    // check matches the data
    std::uint32_t at = 0;    // virtual time the frame was complete
};

enum class PeerReply { Ack, Nak, Cancel, SingleCan, Silence, Garbage };

// Plays the receiving end: sends startBytes, parses frames, replies. By
// default it acknowledges good frames in sequence (and repeats of the
// previous one), refuses bad ones with NAK and acknowledges EOT.
class XmodemReceiverPeer : public FakePort {
public:
    explicit XmodemReceiverPeer(VirtualClock& clock);

    // Queues the start request(s) (startDelayMs from now); call after the
    // host purged its input, or give a delay so they arrive after the purge.
    void begin();
    // Forgets the frames and files of an earlier call; the start request
    // goes out again at the next idle().
    void restart();

    std::vector<std::uint8_t> startBytes{'C'};
    std::uint32_t startDelayMs = 10;
    std::uint32_t repeatStartMs = 0;    // resend startBytes this often until a frame comes; 0 = never
    std::uint32_t replyDelayMs = 0;
    std::function<PeerReply(const ReceivedFrame&, int frameIndex)> onFrame;
    std::function<PeerReply(int eotIndex)> onEot;

    std::vector<ReceivedFrame> frames;  // every frame, in order
    std::vector<std::uint8_t> file;     // data of the accepted frames
    int eotCount = 0;
    int strayBytes = 0;                 // bytes outside frames (CAN, BS, noise)
    bool crc = true;                    // the mode the start request chose

protected:
    void onWrite(std::uint8_t byte) override;
    void onIdle() override;

private:
    void frameComplete();
    void reply(PeerReply r);

    std::vector<std::uint8_t> pending;
    std::size_t frameLength = 0;
    int expected = 1;
    std::uint32_t nextStart = 0;
    bool started = false;
};

// One thing the sending peer puts on the line.
struct Transmission {
    enum Kind { Block, Eot, Raw } kind = Block;
    int number = 0;
    std::vector<std::uint8_t> data;   // Block: payload, padded to size
    int size = 128;
    std::vector<std::uint8_t> raw;    // Raw: sent as is
    // Edits the wire bytes of one attempt (0 first, 1 after a refusal...).
    std::function<void(std::vector<std::uint8_t>& wire, int attempt)> mangle;
    std::size_t fragment = 0;         // deliver in pieces of this many bytes
    std::uint32_t gapMs = 0;          // between pieces
    bool awaitReply = true;           // false: the next transmission follows at once
};

// Plays the sending end: waits for a start request ('C' selects CRC, NAK the
// checksum), then works through `plan`: ACK moves on, NAK or 'C' repeats the
// current transmission; a Raw transmission moves on at any reply.
class XmodemSenderPeer : public FakePort {
public:
    explicit XmodemSenderPeer(VirtualClock& clock);

    // Plans the blocks of data (numbered from 1) and the EOT.
    void planFile(const std::vector<std::uint8_t>& data, int blockSize = 128, std::uint8_t pad = 0x00);
    static Transmission block(int number, const std::vector<std::uint8_t>& data, int size = 128,
                              std::uint8_t pad = 0x00);
    static Transmission eot();
    static Transmission raw(const std::vector<std::uint8_t>& bytes);
    // Forgets the plan and the progress of an earlier call; the next start
    // request begins a new one.
    void restart();

    std::vector<Transmission> plan;
    bool acceptCrc = true;         // false: ignores 'C' (a checksum-only sender)
    int silentFrom = -1;           // from this plan index on, send nothing (the peer is gone)
    std::uint32_t replyDelayMs = 0;

    bool crc = true;               // the mode chosen by the start request
    bool finished = false;         // the last transmission was acknowledged
    int acks = 0;
    int naks = 0;
    int cans = 0;
    std::size_t index = 0;         // current transmission
    int attempt = 0;

protected:
    void onWrite(std::uint8_t byte) override;

private:
    void sendCurrent();
    void advance();
    bool started = false;
};

} // namespace testkit
