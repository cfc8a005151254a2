// The frame format: header bytes, nonces, flag bytes, and the payload
// that a received block shows.
#include "app/frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "runtime/memory.h"
#include "runtime/platform.h"
#include "tests/support/program_heap_fixture.h"

namespace {

class Frame : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        MemoryInit();
        ResetFrameBuilder();
    }
    void TearDown() override {
        MemoryEnd();
        ProgramHeapTest::TearDown();
    }
    // Builds the frame of a message and hands back its bytes.
    static std::string FrameOf(const Text& message) {
        auto* frame = static_cast<const char*>(BuildFrame(message));
        EXPECT_EQ(frame, FrameBuffer);
        if (!frame) return std::string();
        std::string bytes(frame, message.size() + FrameHeaderSize);
        MemoryFree(FrameBuffer);
        return bytes;
    }
};

int Byte(const std::string& bytes, size_t at) {
    return static_cast<unsigned char>(bytes.at(at));
}

TEST_F(Frame, HeaderCarriesMarkerLengthZeroNonceAndFlag) {
    std::string frame = FrameOf("Hello");
    ASSERT_EQ(frame.size(), 10u);
    EXPECT_EQ(Byte(frame, 0), 0x10);
    EXPECT_EQ(Byte(frame, 1), 5);
    EXPECT_EQ(Byte(frame, 2), 0);
    EXPECT_EQ(Byte(frame, 3), LastNonce);
    EXPECT_EQ(Byte(frame, 4), FrameFlagByte(LastNonce));
    EXPECT_EQ(frame.substr(5), "Hello");
}

TEST_F(Frame, FlagByteIsTheMarkerWithTheNoncesTopTwoBits) {
    EXPECT_EQ(FrameFlagByte(0), 0x10);
    EXPECT_EQ(FrameFlagByte(63), 0x10);
    EXPECT_EQ(FrameFlagByte(64), 0x50);
    EXPECT_EQ(FrameFlagByte(127), 0x50);
    EXPECT_EQ(FrameFlagByte(128), 0x90);
    EXPECT_EQ(FrameFlagByte(191), 0x90);
    EXPECT_EQ(FrameFlagByte(192), 0xD0);
    EXPECT_EQ(FrameFlagByte(255), 0xD0);
}

TEST_F(Frame, FirstFrameOfARunNeverHasNonceZero) {
    for (int run = 0; run < 2000; ++run) {
        ResetFrameBuilder();
        EXPECT_NE(Byte(FrameOf("x"), 3), 0) << run;
    }
}

TEST_F(Frame, NoTwoFramesInARowShareANonceAndEveryNonceOccurs) {
    std::set<int> seen;
    int previous = -1;
    for (int i = 0; i < 20000; ++i) {
        int nonce = Byte(FrameOf("m"), 3);
        ASSERT_NE(nonce, previous) << i;
        seen.insert(nonce);
        previous = nonce;
    }
    EXPECT_EQ(seen.size(), 256u); // the whole range 0-255 is drawn
}

TEST_F(Frame, NonceSurvivesAcrossRunsOfTheWorker) {
    FrameOf("before stop");
    int last = LastNonce;
    // Stop and Start touch neither word; only the program's start clears them.
    EXPECT_NE(Byte(FrameOf("after start"), 3), last);
}

TEST_F(Frame, EmptyMessageWithTheInitialCodesGivesSevenBytes) {
    Text message = Text() + CharFromCode(10) + CharFromCode(13);
    std::string frame = FrameOf(message);
    ASSERT_EQ(frame.size(), 7u);
    EXPECT_EQ(Byte(frame, 0), 0x10);
    EXPECT_EQ(Byte(frame, 1), 2);
    EXPECT_EQ(Byte(frame, 2), 0);
    EXPECT_EQ(Byte(frame, 5), 0x0A);
    EXPECT_EQ(Byte(frame, 6), 0x0D);
}

TEST_F(Frame, CodesWhoseLowByteIsZeroAddNothing) {
    Text message = Text() + CharFromCode(0) + CharFromCode(256);
    std::string frame = FrameOf(message);
    ASSERT_EQ(frame.size(), 5u);
    EXPECT_EQ(Byte(frame, 1), 0);
    std::string comma = FrameOf(CharFromCode(300));
    ASSERT_EQ(comma.size(), 6u);
    EXPECT_EQ(Byte(comma, 5), 0x2C);
}

TEST_F(Frame, LengthByteIsTheLengthModulo256) {
    Text message(300, 'a');
    for (int i = 0; i < 300; ++i)
        message[static_cast<size_t>(i)] = static_cast<char>('A' + i % 26);
    std::string frame = FrameOf(message);
    ASSERT_EQ(frame.size(), 305u);
    EXPECT_EQ(Byte(frame, 1), 0x2C);
    EXPECT_EQ(frame.substr(5), message);
}

TEST_F(Frame, WindowsCyrillicBytesGoOutAsTheyAre) {
    Text message = "\xCF\xF0\xE8\xE2\xE5\xF2"; // "Привет" in Windows-1251
    std::string frame = FrameOf(message);
    EXPECT_EQ(frame.substr(5), message);
}

TEST_F(Frame, FrameBlockComesFromTheMemoryHeap) {
    size_t before = PlatformHeapLiveBytes(MemoryHeap());
    void* frame = BuildFrame("12345");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(PlatformHeapLiveBytes(MemoryHeap()), before + 10);
    MemoryFree(FrameBuffer);
    EXPECT_EQ(PlatformHeapLiveBytes(MemoryHeap()), before);
}

TEST_F(Frame, FailedAllocationLeavesNoFrameAndKeepsTheNonce) {
    FrameOf("first");
    int last = LastNonce;
    PlatformHeapFailAfter(MemoryHeap(), 0);
    EXPECT_EQ(BuildFrame("second"), nullptr);
    EXPECT_EQ(FrameBuffer, nullptr);
    EXPECT_EQ(LastNonce, last);
    PlatformHeapFailAfter(MemoryHeap(), -1);
}

TEST_F(Frame, ResetFrameBuilderZeroesBoth) {
    FrameOf("x");
    ASSERT_NE(LastNonce, 0);
    BuildFrame("y");
    void* held = FrameBuffer;
    ResetFrameBuilder();
    EXPECT_EQ(FrameBuffer, nullptr);
    EXPECT_EQ(LastNonce, 0);
    MemoryFree(held);
}

TEST_F(Frame, BytesWithZerosStillMakeAWholeFrame) {
    const char bytes[] = {'A', 0, 'B'};
    auto* frame = static_cast<const unsigned char*>(BuildFrameOfBytes(bytes, 3));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame[1], 3);
    EXPECT_EQ(std::memcmp(frame + 5, bytes, 3), 0);
    MemoryFree(FrameBuffer);
    EXPECT_EQ(BuildFrameOfBytes(bytes, -1), nullptr);
}

// --- Received payloads ---------------------------------------------------

std::string Block(const std::string& bytes, size_t size = 1000) {
    std::string block(size, '\0');
    std::memcpy(block.data(), bytes.data(), std::min(bytes.size(), size));
    return block;
}

TEST(ReceivedPayload, IsTheTextFromOffsetFiveToTheFirstZero) {
    std::string block = Block(std::string("\x10\x05\x00\x07\x10Hello", 10));
    EXPECT_EQ(ReceivedPayloadText(block.data(), block.size()), "Hello");
}

TEST(ReceivedPayload, ShortDatagramsAndAZeroAtOffsetFiveShowNothing) {
    EXPECT_EQ(ReceivedPayloadText(Block("abcde").data(), 1000), "");
    EXPECT_EQ(ReceivedPayloadText(Block("ab").data(), 1000), "");
    std::string zeroAtFive = Block(std::string("abcde\0fgh", 9));
    EXPECT_EQ(ReceivedPayloadText(zeroAtFive.data(), zeroAtFive.size()), "");
    EXPECT_EQ(ReceivedPayloadText(nullptr, 1000), "");
    EXPECT_EQ(ReceivedPayloadText("abcdefg", 5), "");
}

TEST(ReceivedPayload, BytesAfterAZeroAreNotShown) {
    std::string block = Block(std::string("12345AB\0CD", 10));
    EXPECT_EQ(ReceivedPayloadText(block.data(), block.size()), "AB");
}

// The block is exactly as large as the bytes: under AddressSanitizer any
// read past its end would be caught.
TEST(ReceivedPayload, ABlockWithoutAZeroEndsTheTextAtItsEnd) {
    std::string full(1000, 'z');
    auto* block = new char[1000];
    std::memcpy(block, full.data(), 1000);
    Text text = ReceivedPayloadText(block, 1000);
    delete[] block;
    EXPECT_EQ(text.size(), 995u);
    EXPECT_EQ(text, full.substr(5));
}

// --- The frame check -----------------------------------------------------

class FrameCheckOfBuiltFrames : public Frame {};

TEST_F(FrameCheckOfBuiltFrames, EveryBuiltFrameIsWellFormed) {
    int previous = -1;
    for (int length : {0, 1, 2, 255, 256, 300, 1000, 65000}) {
        Text message(static_cast<size_t>(length), 'q');
        std::string frame = FrameOf(message);
        FrameCheck check = CheckFrame(frame.data(), frame.size(), previous);
        EXPECT_TRUE(check.wellFormed) << length;
        EXPECT_FALSE(check.payloadHasZero) << length;
        EXPECT_EQ(check.nonce, LastNonce);
        previous = check.nonce;
    }
}

TEST_F(FrameCheckOfBuiltFrames, EachFaultIsNamed) {
    std::string good = FrameOf("payload");
    int nonce = Byte(good, 3);

    auto check = [&](std::string bytes, int previous = -1) {
        return CheckFrame(bytes.data(), bytes.size(), previous);
    };
    EXPECT_TRUE(check(good).wellFormed);

    std::string wrongMarker = good;
    wrongMarker[0] = 0x11;
    EXPECT_FALSE(check(wrongMarker).markerRight);
    EXPECT_FALSE(check(wrongMarker).wellFormed);

    std::string wrongLength = good;
    wrongLength[1] = 8;
    EXPECT_FALSE(check(wrongLength).lengthRight);
    EXPECT_FALSE(check(good + "x").lengthRight); // one byte more than it says

    std::string nonZero = good;
    nonZero[2] = 1;
    EXPECT_FALSE(check(nonZero).reservedZero);

    std::string wrongFlag = good;
    wrongFlag[4] = static_cast<char>(FrameFlagByte(nonce) ^ 0x40);
    EXPECT_FALSE(check(wrongFlag).flagRight);

    FrameCheck repeated = check(good, nonce);
    EXPECT_FALSE(repeated.nonceFresh);
    EXPECT_FALSE(repeated.wellFormed);
    EXPECT_TRUE(repeated.markerRight && repeated.lengthRight && repeated.flagRight);

    FrameCheck tooShort = check(good.substr(0, 4));
    EXPECT_FALSE(tooShort.longEnough);
    EXPECT_FALSE(tooShort.wellFormed);
    EXPECT_EQ(tooShort.nonce, -1);
    EXPECT_FALSE(CheckFrame(nullptr, 0, -1).wellFormed);
}

TEST_F(FrameCheckOfBuiltFrames, ZeroInsideThePayloadIsReportedButStillWellFormed) {
    const char bytes[] = {'A', 0, 'B'};
    auto* frame = static_cast<const char*>(BuildFrameOfBytes(bytes, 3));
    ASSERT_NE(frame, nullptr);
    FrameCheck check = CheckFrame(frame, 8, -1);
    MemoryFree(FrameBuffer);
    EXPECT_TRUE(check.payloadHasZero);
    EXPECT_TRUE(check.wellFormed);
}

TEST(FrameCheck, LengthByteWrapsForLongPayloads) {
    std::string frame(5 + 256 + 3, 'x');
    frame[0] = 0x10;
    frame[1] = 3; // 259 modulo 256
    frame[2] = 0;
    frame[3] = static_cast<char>(200);
    frame[4] = static_cast<char>(0xD0);
    EXPECT_TRUE(CheckFrame(frame.data(), frame.size(), -1).wellFormed);
}

} // namespace
