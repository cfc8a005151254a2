#include "ui/gadgets/gadget_text.h"

#include <atomic>
#include <thread>

#include "tests/ui/gadgets_fixture.h"

namespace {

class GadgetTextTest : public GadgetsTest {
  protected:
    void SetUp() override {
        GadgetsTest::SetUp();
        // The tests run where the system's code page is not Windows-1251.
        ASSERT_EQ(GetACP(), 1252u) << "run with LC_ALL=en_US.UTF-8";
    }

    static Text EveryByte() {
        Text bytes;
        for (int b = 1; b < 256; ++b)
            bytes.push_back(static_cast<char>(b));
        return bytes;
    }
};

// Runs work on a thread of its own while this thread waits for events.
template <typename Work> bool RunWhileWaitingForEvents(Work work) {
    std::atomic<bool> done{false};
    std::thread other([&] {
        work();
        done = true;
    });
    bool finished = WaitUntil([&] {
        EventWait(10);
        return done.load();
    });
    other.join();
    return finished;
}

} // namespace

TEST_F(GadgetTextTest, EveryByteRoundTripsThroughAFieldAsItsCharacter) {
    OpenWindow();
    const Text bytes = EveryByte();
    HWND field = Handle(GadgetCreateString(1, 10, 10, 200, 20, bytes));
    // A one-line edit control keeps CR and LF as the characters they are.
    EXPECT_EQ(Native(field), Cp1251ToUtf16(bytes));
    EXPECT_EQ(GadgetGetText(1), bytes);
    GadgetSetText(1, "x");
    GadgetSetText(1, bytes);
    EXPECT_EQ(GadgetGetText(1), bytes);
}

TEST_F(GadgetTextTest, EveryByteRoundTripsThroughTheEditorWithLineBreaksAsTheControlKeepsThem) {
    OpenWindow();
    HWND editor = Handle(GadgetCreateEditor(1, 10, 10, 300, 100, EDITOR_READ_ONLY));
    const Text bytes = EveryByte();
    GadgetSetText(1, bytes);
    // The rich-text control keeps a lone LF (10) and a lone CR (13) each as a
    // paragraph break, and its whole text reads every paragraph break as
    // CR LF; every other byte comes back as it went in.
    Text expected;
    for (char c : bytes) {
        if (c == '\n' || c == '\r')
            expected += "\r\n";
        else
            expected.push_back(c);
    }
    EXPECT_EQ(GadgetGetText(1), expected);
    EXPECT_EQ(Native(editor), Cp1251ToUtf16(expected));
    // What was read, set again, stays as it is.
    GadgetSetText(1, "x");
    GadgetSetText(1, expected);
    EXPECT_EQ(GadgetGetText(1), expected);
}

TEST_F(GadgetTextTest, TypedCharacterThatTheCodePageCannotHoldReadsAsQuestionMark) {
    OpenWindow();
    HWND field = Handle(GadgetCreateString(1, 10, 10, 200, 20, "a"));
    SendMessageW(field, EM_SETSEL, 1, 1);
    SendMessageW(field, WM_CHAR, 0x4E2D, 1); // a CJK character, as typed
    SendMessageW(field, WM_CHAR, 0x0416, 1); // Cyrillic capital ZHE, which the code page has
    EXPECT_EQ(Native(field), u"a\u4E2D\u0416");
    EXPECT_EQ(GadgetGetText(1), "a?\xC6");
}

TEST_F(GadgetTextTest, CallsFromAnotherThreadCompleteOnlyWhileTheOwnerHandlesMessages) {
    OpenWindow();
    HWND field = Handle(GadgetCreateString(1, 10, 10, 200, 20, "start"));
    std::atomic<bool> done{false};
    Text read;
    std::thread worker([&] {
        GadgetSetText(1, "from the worker \xCF\xF0\xE8\xE2\xE5\xF2");
        read = GadgetGetText(1);
        done = true;
    });
    // The owner is busy (not handling messages): the worker waits for it.
    Sleep(150);
    EXPECT_FALSE(done.load());
    EXPECT_EQ(Native(field), u"start");
    EXPECT_TRUE(WaitUntil([&] {
        EventWait(10);
        return done.load();
    }));
    worker.join();
    EXPECT_EQ(read, "from the worker \xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(Native(field), u"from the worker \u041F\u0440\u0438\u0432\u0435\u0442");
}

TEST_F(GadgetTextTest, WorkerAppendsToTheEditorAreCarriedOverAndJoinExactly) {
    OpenWindow();
    GadgetCreateEditor(11, 10, 10, 300, 100, EDITOR_READ_ONLY);
    GadgetCreateString(1, 10, 120, 200, 20, "field");
    Text expected;
    for (int i = 0; i < 50; ++i)
        expected += "payload " + std::to_string(i) + ";";
    ASSERT_TRUE(RunWhileWaitingForEvents([] {
        GadgetSetText(11, "");
        for (int i = 0; i < 50; ++i)
            GadgetAppendText(11, "payload " + std::to_string(i) + ";");
        GadgetAppendText(1, " and more"); // a kind without its own append
    }));
    EXPECT_EQ(GadgetGetText(11), expected);
    EXPECT_EQ(GadgetGetText(1), "field and more");
}

TEST_F(GadgetTextTest, WorkerCallsOnAGadgetThatIsGoneDoNothing) {
    OpenWindow();
    GadgetCreateString(1, 10, 10, 200, 20, "x");
    GadgetFree(1);
    Text read = "unchanged";
    ASSERT_TRUE(RunWhileWaitingForEvents([&] {
        GadgetSetText(1, "y");
        GadgetAppendText(1, "z");
        read = GadgetGetText(1);
    }));
    EXPECT_EQ(read, "");
}

TEST_F(GadgetTextTest, CarriedRequestThatThisProcessDidNotMakeIsIgnored) {
    OpenWindow();
    HWND field = Handle(GadgetCreateString(1, 10, 10, 200, 20, "kept"));
    UINT request = RegisterWindowMessageW(L"KX_GadgetTextRequest");
    // What another process could send: a set request with an address of its own.
    struct {
        void* next;
        const Text* text;
        Text* result;
    } stray{nullptr, nullptr, nullptr};
    Text replacement = "stray";
    stray.text = &replacement;
    EXPECT_EQ(SendMessageW(field, request, 2, reinterpret_cast<LPARAM>(&stray)), 0);
    EXPECT_EQ(SendMessageW(field, request, 2, 0), 0);
    EXPECT_EQ(GadgetGetText(1), "kept");
}
