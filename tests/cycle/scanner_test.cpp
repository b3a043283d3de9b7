#include "iolinkengine.h"
#include "ioprotocol.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace ioproto;

void feed(ReplyScanner& s, const std::vector<std::uint8_t>& v) {
    s.append(v.data(), v.size());
}

std::vector<std::uint8_t> bytesOf(const Reply& r) {
    return {r.begin(), r.end()};
}

TEST(IoProtocol, RequestAndReplyLayout) {
    const Request q = encodeRequest(kSetOutputs, 0x1FF);
    EXPECT_EQ(q[0], 0x5F);
    EXPECT_EQ(q[1], 1);
    EXPECT_EQ(q[2], 0xFF);
    EXPECT_EQ(q[3], 0x01);
    EXPECT_EQ(q[4], std::uint8_t(0x5F + 1 + 0xFF + 0x01));
    EXPECT_EQ(q[5], 0xF5);
    const Reply r = encodeInputsReply(0x3A5, 0x2C3);
    EXPECT_EQ(inputWord(r), 0x3A5);
    EXPECT_EQ(outputEcho(r), 0x2C3);
    EXPECT_TRUE(isFrame<kReplySize>(r.data()));
    EXPECT_EQ(infoValue(encodeInfoReply(3, 0xA1B2C3D4u)), 0xA1B2C3D4u);
}

TEST(FrameScanner, ReplySplitAcrossTwoReadsIsParsedOnceComplete) {
    ReplyScanner s;
    const Reply r = encodeInputsReply(5, 0);
    s.append(r.data(), 3);
    EXPECT_FALSE(s.next());
    EXPECT_EQ(s.pending(), 3u);
    s.append(r.data() + 3, 5);
    const auto f = s.next();
    ASSERT_TRUE(f);
    EXPECT_EQ(inputWord(*f), 5);
    EXPECT_FALSE(s.next());
    EXPECT_EQ(s.pending(), 0u);
}

TEST(FrameScanner, GarbageBeforeAFrameIsSkippedOneByteAtATime) {
    ReplyScanner s;
    feed(s, {0x00, 0x5F, 0xF5, 0x13, 0x5F});
    feed(s, bytesOf(encodeInputsReply(9, 0)));
    const auto f = s.next();
    ASSERT_TRUE(f);
    EXPECT_EQ(inputWord(*f), 9);
    EXPECT_EQ(s.skipped(), 5u);
}

TEST(FrameScanner, WrongChecksumResumesAtTheSecondByte) {
    // A bad frame whose second byte starts a good one.
    const Reply good = encodeInputsReply(0x21, 0);
    std::vector<std::uint8_t> v{0x5F};
    v.insert(v.end(), good.begin(), good.end());
    ReplyScanner s;
    feed(s, v);
    const auto f = s.next();
    ASSERT_TRUE(f);
    EXPECT_EQ(inputWord(*f), 0x21);
    EXPECT_EQ(s.skipped(), 1u);

    Reply bad = encodeInputsReply(3, 0);
    bad[6] ^= 0x40;
    ReplyScanner t;
    t.append(bad.data(), bad.size());
    EXPECT_FALSE(t.next());
    EXPECT_EQ(t.skipped(), 1u);  // only the head byte; 7 bytes wait for more
    EXPECT_EQ(t.pending(), 7u);
}

TEST(FrameScanner, WrongTailIsRejected) {
    Reply r = encodeInputsReply(3, 0);
    r[7] = 0xF4;
    ReplyScanner s;
    s.append(r.data(), r.size());
    EXPECT_FALSE(s.next());
}

TEST(FrameScanner, BackToBackFramesAndLeftoverMovesToTheStart) {
    std::vector<std::uint8_t> v = bytesOf(encodeInputsReply(1, 0));
    const auto second = bytesOf(encodeInputsReply(2, 0));
    v.insert(v.end(), second.begin(), second.end());
    v.insert(v.end(), {0x5F, 0x02, 0x03});
    ReplyScanner s;
    feed(s, v);
    EXPECT_EQ(inputWord(*s.next()), 1);
    EXPECT_EQ(inputWord(*s.next()), 2);
    EXPECT_FALSE(s.next());
    EXPECT_EQ(s.pending(), 3u);
}

TEST(FrameScanner, DataBeyondTheBufferIsDropped) {
    ReplyScanner s;
    std::vector<std::uint8_t> junk(1500, 0x00);
    EXPECT_EQ(s.append(junk.data(), junk.size()), kBufferSize);
    EXPECT_EQ(s.append(junk.data(), 1), 0u);
    EXPECT_FALSE(s.next());
    EXPECT_EQ(s.pending(), 7u);
    const Reply r = encodeInputsReply(4, 0);
    s.append(r.data(), r.size());
    ASSERT_TRUE(s.next());
}

TEST(LinkEngine, LinkIsLostAfter1001SilentPassesAndBackOnTheFirstFrame) {
    IoLinkEngine e;
    for (int i = 0; i < 1000; ++i)
        e.silentPass();
    EXPECT_FALSE(e.lost());
    EXPECT_EQ(e.silence(), 1000);
    e.silentPass();
    EXPECT_TRUE(e.lost());
    // Garbage is not a frame: still lost.
    const std::uint8_t junk[] = {1, 2, 3, 0x5F, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(e.receive(junk, sizeof junk, 0).reconnected);
    EXPECT_TRUE(e.lost());
    const Reply r = encodeInputsReply(6, 0);
    const auto got = e.receive(r.data(), r.size(), 0);
    EXPECT_TRUE(got.reconnected);
    EXPECT_FALSE(e.lost());
    EXPECT_EQ(e.silence(), 0);
    const Reply again = encodeInputsReply(6, 0);
    EXPECT_FALSE(e.receive(again.data(), again.size(), 0).reconnected);
}

TEST(LinkEngine, EchoMismatchAsksForTheOutputsAgain) {
    IoLinkEngine e;
    Reply r = encodeInputsReply(0x3, 0x5);
    auto got = e.receive(r.data(), r.size(), 0x5);
    EXPECT_TRUE(got.inputs);
    EXPECT_EQ(got.inputWord, 3);
    EXPECT_FALSE(got.mismatch);
    got = e.receive(r.data(), r.size(), 0x7);
    EXPECT_TRUE(got.mismatch);
}

TEST(LinkEngine, InformationQueriesFollowTheirSchedule) {
    IoLinkEngine e;
    for (int round = 0; round < 2; ++round) {
        for (int i = 1; i <= 210; ++i) {
            const Request q = e.nextPoll();
            const int want = i == 200 ? kInfoLow : i == 210 ? kInfoHigh : kReadInputs;
            ASSERT_EQ(q[1], want) << "poll " << i << " round " << round;
            if (i == 200) {
                const Reply r = encodeInfoReply(3, 0x10203);
                e.receive(r.data(), r.size(), 0);
            }
            if (i == 210) {
                const Reply r = encodeInfoReply(4, 777);
                e.receive(r.data(), r.size(), 0);
            }
        }
    }
    EXPECT_EQ(e.info(0), 0x10203);
    EXPECT_EQ(e.info(8), 777);
    EXPECT_EQ(e.info(1), 0);
}

}  // namespace
