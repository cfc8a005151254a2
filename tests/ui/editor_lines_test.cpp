#include "ui/gadgets/editor_lines.h"

#include "tests/ui/gadgets_fixture.h"

namespace {

class EditorLinesTest : public GadgetsTest {
  protected:
    void SetUp() override {
        GadgetsTest::SetUp();
        OpenWindow();
        control_ = Handle(GadgetCreateEditor(1, 10, 10, 300, 200));
        record_ = FindGadget(1);
    }
    void Add(int32_t position, const Text& text) {
        record_->kind->addItem(record_, position, text);
    }
    void Remove(int32_t position) { record_->kind->removeItem(record_, position); }
    void Set(int32_t position, const Text& text) {
        record_->kind->setItemText(record_, position, text);
    }
    Text Line(int32_t position) { return record_->kind->getItemText(record_, position); }
    int32_t Count() { return record_->kind->countItems(record_); }
    int32_t Mark() { return record_->editor.pendingEmptyLine; }

    HWND control_ = nullptr;
    GadgetRecord* record_ = nullptr;
};

} // namespace

TEST_F(EditorLinesTest, EmptyEditorHasNoLines) {
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(GadgetGetText(1), "");
}

TEST_F(EditorLinesTest, EmptyLineAddedToAnEmptyEditorIsPendingUntilTheNextLineMakesItReal) {
    Add(-1, "");
    EXPECT_EQ(GadgetGetText(1), "");
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(Mark(), 1);
    Add(-1, "b");
    EXPECT_EQ(Mark(), 2);
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Line(0), "");
    EXPECT_EQ(Line(1), "b");
    EXPECT_EQ(GadgetGetText(1), "\r\nb");
}

TEST_F(EditorLinesTest, AppendedLinesAreSeparatedByOneBreak) {
    Add(-1, "a");
    EXPECT_EQ(Mark(), 0);
    Add(-1, "b");
    Add(-1, "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(GadgetGetText(1), "a\r\nb\r\n\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(Line(2), "\xCF\xF0\xE8\xE2\xE5\xF2");
    Add(-1, ""); // an empty line after text is real at once
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(Mark(), 0);
}

TEST_F(EditorLinesTest, InsertingBeforeALineAndAddingPastTheLastOne) {
    Add(-1, "a");
    Add(-1, "c");
    Add(1, "b");
    Add(0, "start");
    EXPECT_EQ(GadgetGetText(1), "start\r\na\r\nb\r\nc");
    Add(40, "end"); // no such line: appended
    EXPECT_EQ(GadgetGetText(1), "start\r\na\r\nb\r\nc\r\nend");
    EXPECT_EQ(Count(), 5);
}

TEST_F(EditorLinesTest, RemovingALineTakesItsBreakAndEmptyingForgetsThePendingLine) {
    Add(-1, "a");
    Add(-1, "b");
    Add(-1, "c");
    Remove(1);
    EXPECT_EQ(GadgetGetText(1), "a\r\nc");
    Remove(0);
    EXPECT_EQ(GadgetGetText(1), "c");
    Remove(0);
    EXPECT_EQ(GadgetGetText(1), "");
    EXPECT_EQ(Count(), 0);

    Add(-1, "");
    ASSERT_EQ(Mark(), 1);
    Remove(0);
    EXPECT_EQ(Mark(), 0);
    EXPECT_EQ(Count(), 0);
}

TEST_F(EditorLinesTest, SettingALineReplacesThatLineOnly) {
    Add(-1, "one");
    Add(-1, "two");
    Add(-1, "three");
    Set(1, "2");
    EXPECT_EQ(GadgetGetText(1), "one\r\n2\r\nthree");
    Set(2, "");
    EXPECT_EQ(GadgetGetText(1), "one\r\n2\r\n");
    EXPECT_EQ(Line(0), "one");
}

TEST_F(EditorLinesTest, ClearingAndSettingTheEmptyTextForgetThePendingLine) {
    Add(-1, "");
    ASSERT_EQ(Count(), 1);
    GadgetSetText(1, "");
    EXPECT_EQ(Mark(), 0);
    EXPECT_EQ(Count(), 0);
    Add(-1, "");
    Add(-1, "x");
    ASSERT_EQ(Mark(), 2);
    record_->kind->clearItems(record_);
    EXPECT_EQ(Mark(), 0);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(GadgetGetText(1), "");
}

TEST_F(EditorLinesTest, SettingAWholeTextKeepsTheMark) {
    Add(-1, "");
    GadgetSetText(1, "text");
    EXPECT_EQ(Mark(), 1);
    EXPECT_EQ(GadgetGetText(1), "text");
}

TEST_F(EditorLinesTest, LineLongerThanALineBufferCountCanSayIsReadWhole) {
    Text longLine(70000, 'q');
    Add(-1, "short");
    Add(-1, longLine);
    Add(-1, "after");
    EXPECT_TRUE(Line(1) == longLine);
    EXPECT_EQ(Line(2), "after");
}
