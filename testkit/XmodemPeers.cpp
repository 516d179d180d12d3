// The scripted XMODEM peers and the frame helpers for the tests.
#include "testkit/XmodemPeers.h"

#include <algorithm>

#include "transfer/BlockCheck.h"
#include "transfer/XmodemTransfer.h"

namespace testkit {

std::vector<std::uint8_t> xmodemFrame(int number, const std::vector<std::uint8_t>& data,
                                      int size, bool crc, std::uint8_t pad)
{
    std::vector<std::uint8_t> payload(data.begin(), data.begin() + std::min<std::size_t>(data.size(), size));
    payload.resize(static_cast<std::size_t>(size), pad);
    std::vector<std::uint8_t> wire;
    wire.push_back(size == 1024 ? XM_STX : XM_SOH);
    wire.push_back(static_cast<std::uint8_t>(number & 0xFF));
    wire.push_back(static_cast<std::uint8_t>(255 - (number & 0xFF)));
    wire.insert(wire.end(), payload.begin(), payload.end());
    if (crc) {
        Crc16 c;
        unsigned v = c.compute(payload.data(), static_cast<unsigned>(payload.size()), 0);
        wire.push_back(static_cast<std::uint8_t>(v >> 8));
        wire.push_back(static_cast<std::uint8_t>(v & 0xFF));
    } else {
        Checksum8 c;
        wire.push_back(static_cast<std::uint8_t>(c.compute(payload.data(), static_cast<unsigned>(payload.size()), 0)));
    }
    return wire;
}

bool containsCancelSequence(const std::vector<std::uint8_t>& bytes)
{
    const std::uint8_t* seq = XmodemTransfer::cancelSequence;
    return std::search(bytes.begin(), bytes.end(), seq, seq + 20) != bytes.end();
}

// ---- receiving peer -------------------------------------------------------

XmodemReceiverPeer::XmodemReceiverPeer(VirtualClock& clock) : FakePort(clock) {}

void XmodemReceiverPeer::begin()
{
    started = true;
    if (!startBytes.empty())
        crc = startBytes.back() != XM_NAK;
    deliver(startBytes, startDelayMs);
    nextStart = clock.tickMs() + startDelayMs + repeatStartMs;
}

void XmodemReceiverPeer::restart()
{
    frames.clear();
    file.clear();
    pending.clear();
    eotCount = 0;
    strayBytes = 0;
    expected = 1;
    started = false;
}

void XmodemReceiverPeer::onIdle()
{
    if (!started)
        begin();
    else if (repeatStartMs != 0 && frames.empty() && !tickBefore(clock.tickMs(), nextStart)) {
        deliver(startBytes);
        nextStart = clock.tickMs() + repeatStartMs;
    }
}

void XmodemReceiverPeer::onWrite(std::uint8_t byte)
{
    if (!started)
        begin();
    if (pending.empty()) {
        if (byte == XM_SOH || byte == XM_STX) {
            frameLength = 3 + (byte == XM_STX ? 1024u : 128u) + (crc ? 2u : 1u);
            pending.push_back(byte);
        } else if (byte == XM_EOT) {
            reply(onEot ? onEot(eotCount) : PeerReply::Ack);
            ++eotCount;
        } else {
            ++strayBytes;
        }
        return;
    }
    pending.push_back(byte);
    if (pending.size() == frameLength)
        frameComplete();
}

void XmodemReceiverPeer::frameComplete()
{
    ReceivedFrame f;
    f.header = pending[0];
    f.number = pending[1];
    f.complement = pending[2];
    const std::size_t size = pending[0] == XM_STX ? 1024 : 128;
    f.data.assign(pending.begin() + 3, pending.begin() + 3 + static_cast<std::ptrdiff_t>(size));
    unsigned computed;
    if (crc) {
        f.check = (pending[3 + size] << 8) | pending[4 + size];
        computed = Crc16().compute(f.data.data(), static_cast<unsigned>(size), 0);
    } else {
        f.check = pending[3 + size];
        computed = Checksum8().compute(f.data.data(), static_cast<unsigned>(size), 0);
    }
    f.checkOk = computed == f.check && f.number == 255 - f.complement;
    f.at = clock.tickMs();
    pending.clear();
    frames.push_back(f);

    PeerReply r;
    if (onFrame) {
        r = onFrame(f, static_cast<int>(frames.size()) - 1);
    } else if (!f.checkOk) {
        r = PeerReply::Nak;
    } else if (f.number == (expected & 0xFF) || f.number == ((expected - 1) & 0xFF)) {
        r = PeerReply::Ack;
    } else {
        r = PeerReply::Nak;
    }
    if (r == PeerReply::Ack && f.checkOk && f.number == (expected & 0xFF)) {
        file.insert(file.end(), f.data.begin(), f.data.end());
        ++expected;
    }
    reply(r);
}

void XmodemReceiverPeer::reply(PeerReply r)
{
    switch (r) {
    case PeerReply::Ack:
        deliver({XM_ACK}, replyDelayMs);
        break;
    case PeerReply::Nak:
        deliver({XM_NAK}, replyDelayMs);
        break;
    case PeerReply::Cancel:
        deliver({XM_CAN, XM_CAN}, replyDelayMs);
        break;
    case PeerReply::SingleCan:
        deliver({XM_CAN}, replyDelayMs);
        break;
    case PeerReply::Garbage:
        deliver({'x', 'y', 'z', 0x7F}, replyDelayMs);
        break;
    case PeerReply::Silence:
        break;
    }
}

// ---- sending peer ---------------------------------------------------------

XmodemSenderPeer::XmodemSenderPeer(VirtualClock& clock) : FakePort(clock) {}

Transmission XmodemSenderPeer::block(int number, const std::vector<std::uint8_t>& data, int size,
                                     std::uint8_t pad)
{
    Transmission t;
    t.kind = Transmission::Block;
    t.number = number;
    t.size = size;
    t.data = data;
    t.data.resize(static_cast<std::size_t>(size), pad);
    return t;
}

Transmission XmodemSenderPeer::eot()
{
    Transmission t;
    t.kind = Transmission::Eot;
    return t;
}

Transmission XmodemSenderPeer::raw(const std::vector<std::uint8_t>& bytes)
{
    Transmission t;
    t.kind = Transmission::Raw;
    t.raw = bytes;
    return t;
}

void XmodemSenderPeer::restart()
{
    plan.clear();
    index = 0;
    attempt = 0;
    finished = false;
    started = false;
    acks = naks = cans = 0;
}

void XmodemSenderPeer::planFile(const std::vector<std::uint8_t>& data, int blockSize, std::uint8_t pad)
{
    int number = 1;
    for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(blockSize), ++number) {
        std::size_t end = std::min(data.size(), at + static_cast<std::size_t>(blockSize));
        plan.push_back(block(number, std::vector<std::uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(at),
                                                               data.begin() + static_cast<std::ptrdiff_t>(end)),
                             blockSize, pad));
    }
    plan.push_back(eot());
}

void XmodemSenderPeer::sendCurrent()
{
    if (index >= plan.size() || (silentFrom >= 0 && index >= static_cast<std::size_t>(silentFrom)))
        return;
    const Transmission& t = plan[index];
    std::vector<std::uint8_t> wire;
    if (t.kind == Transmission::Block)
        wire = xmodemFrame(t.number, t.data, t.size, crc);
    else if (t.kind == Transmission::Eot)
        wire = {XM_EOT};
    else
        wire = t.raw;
    if (t.mangle)
        t.mangle(wire, attempt);
    deliver(wire, replyDelayMs, t.fragment, t.gapMs);
    if (!t.awaitReply)
        advance();
}

void XmodemSenderPeer::advance()
{
    ++index;
    attempt = 0;
    if (index >= plan.size()) {
        finished = true;
        return;
    }
    sendCurrent();
}

void XmodemSenderPeer::onWrite(std::uint8_t byte)
{
    if (byte == XM_CAN)
        ++cans;
    if (!started) {
        if ((byte == XM_CRC_START && acceptCrc) || byte == XM_NAK) {
            started = true;
            crc = byte == XM_CRC_START;
            sendCurrent();
        }
        return;
    }
    if (index >= plan.size())
        return;
    const bool raw = plan[index].kind == Transmission::Raw;
    if (byte == XM_ACK) {
        ++acks;
        advance();
    } else if (byte == XM_NAK || byte == XM_CRC_START) {
        ++naks;
        if (raw) {
            advance();
        } else {
            ++attempt;
            sendCurrent();
        }
    }
}

} // namespace testkit
