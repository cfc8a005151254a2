#include "runtime/object_registry.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/program_heap_fixture.h"

namespace {

struct Record {
    intptr_t marker;
    int32_t payload;
};

ObjectRegistry* gRegistry;
std::vector<ObjectNumber> gFreed;

// The library's close operation, as a real library writes it.
void CloseRecord(ObjectNumber number) {
    gFreed.push_back(number);
    if (FindObject(gRegistry, number)) ReleaseObject(gRegistry, number);
}

class ObjectRegistryTest : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        gFreed.clear();
        gRegistry = CreateObjectRegistry(sizeof(Record), 16, CloseRecord);
        ASSERT_NE(gRegistry, nullptr);
    }
    void TearDown() override {
        DestroyObjectRegistry(gRegistry);
        EXPECT_EQ(LiveBytes(), 0u);
        ProgramHeapTest::TearDown();
    }
    static Record* Open(ObjectNumber number) {
        auto* record = static_cast<Record*>(ObtainObject(gRegistry, number));
        if (record) record->marker = 0x1234;
        return record;
    }
    static std::vector<ObjectNumber> Scan() {
        std::vector<ObjectNumber> numbers;
        ObjectNumber number;
        BeginObjectScan(gRegistry);
        while (NextObject(gRegistry, &number))
            numbers.push_back(number);
        return numbers;
    }
};

TEST_F(ObjectRegistryTest, FindsOnlyRecordsWhoseMarkerIsSet) {
    EXPECT_EQ(FindObject(gRegistry, 3), nullptr);
    auto* record = static_cast<Record*>(ObtainObject(gRegistry, 3));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(FindObject(gRegistry, 3), nullptr); // obtained, marker still 0
    record->marker = 7;
    EXPECT_EQ(FindObject(gRegistry, 3), record);
}

TEST_F(ObjectRegistryTest, ObtainingAnInUseNumberClosesTheOldObjectAndReusesTheRecord) {
    Record* first = Open(4);
    first->payload = 99;
    auto* second = static_cast<Record*>(ObtainObject(gRegistry, 4));
    EXPECT_EQ(second, first);
    EXPECT_EQ(gFreed, std::vector<ObjectNumber>{4});
    EXPECT_EQ(second->marker, 0); // emptied by the close operation
    EXPECT_EQ(second->payload, 0);
}

TEST_F(ObjectRegistryTest, ReleasedNumberKeepsItsZeroedRecordForReuse) {
    Record* record = Open(2);
    record->payload = 5;
    ReleaseObject(gRegistry, 2);
    EXPECT_EQ(record->marker, 0);
    EXPECT_EQ(record->payload, 0);
    EXPECT_EQ(FindObject(gRegistry, 2), nullptr);
    // The callback is called even though the number holds no object now.
    EXPECT_EQ(ObtainObject(gRegistry, 2), record);
    EXPECT_EQ(gFreed, std::vector<ObjectNumber>{2});
}

TEST_F(ObjectRegistryTest, DynamicNumbersAreRecordAddresses) {
    Record* older = Open(DynamicNumber);
    Record* newer = Open(DynamicNumber);
    ASSERT_NE(older, nullptr);
    ASSERT_NE(older, newer);
    auto olderNumber = reinterpret_cast<ObjectNumber>(older);
    EXPECT_EQ(FindObject(gRegistry, olderNumber), older);
    ReleaseObject(gRegistry, olderNumber);
    EXPECT_EQ(FindObject(gRegistry, olderNumber), nullptr);
    EXPECT_EQ(FindObject(gRegistry, reinterpret_cast<ObjectNumber>(newer)), newer);
}

TEST_F(ObjectRegistryTest, NumbersThatNameNothingAreRefused) {
    Record* dynamic = Open(DynamicNumber);
    Record unrelated{};
    unrelated.marker = 1;
    auto bogus = reinterpret_cast<ObjectNumber>(&unrelated);
    EXPECT_EQ(FindObject(gRegistry, bogus), nullptr);
    ReleaseObject(gRegistry, bogus); // must not touch the unrelated record
    EXPECT_EQ(unrelated.marker, 1);
    EXPECT_EQ(ObtainObject(gRegistry, -2), nullptr);
    EXPECT_EQ(FindObject(gRegistry, -2), nullptr);
    ReleaseObject(gRegistry, -5);
    EXPECT_EQ(FindObject(gRegistry, 1000), nullptr); // beyond the table
    EXPECT_EQ(FindObject(gRegistry, reinterpret_cast<ObjectNumber>(dynamic)), dynamic);
}

TEST_F(ObjectRegistryTest, ScanReturnsNumbersAscendingThenDynamicOldestFirst) {
    Record* olderDynamic = Open(DynamicNumber);
    Open(0);
    Open(5);
    Record* newerDynamic = Open(DynamicNumber);
    Open(2);
    ObtainObject(gRegistry, 3); // obtained but not in use: skipped
    std::vector<ObjectNumber> expected{0, 2, 5, reinterpret_cast<ObjectNumber>(olderDynamic),
                                       reinterpret_cast<ObjectNumber>(newerDynamic)};
    EXPECT_EQ(Scan(), expected);
}

TEST_F(ObjectRegistryTest, TableGrowsByTheFixedStep) {
    EXPECT_EQ(gRegistry->slotCount, 16);
    Open(16);
    EXPECT_EQ(gRegistry->slotCount, 32);
    Open(1000);
    EXPECT_EQ(gRegistry->slotCount, 1016);
    EXPECT_NE(FindObject(gRegistry, 1000), nullptr);
    EXPECT_NE(FindObject(gRegistry, 16), nullptr);
}

TEST_F(ObjectRegistryTest, FreeAllClosesEveryObjectIncludingDynamicOnes) {
    Open(1);
    Record* dynamic = Open(DynamicNumber);
    Open(9);
    FreeAllObjects(gRegistry);
    std::vector<ObjectNumber> expected{1, 9, reinterpret_cast<ObjectNumber>(dynamic)};
    EXPECT_EQ(gFreed, expected);
    EXPECT_TRUE(Scan().empty());
}

TEST_F(ObjectRegistryTest, FreeAllWithoutCallbackDoesNothing) {
    ObjectRegistry* plain = CreateObjectRegistry(sizeof(Record), 4, nullptr);
    auto* record = static_cast<Record*>(ObtainObject(plain, 1));
    record->marker = 1;
    FreeAllObjects(plain);
    EXPECT_EQ(FindObject(plain, 1), record);
    DestroyObjectRegistry(plain);
}

TEST_F(ObjectRegistryTest, ScanOwnerMayUseTheRegistryInsideItsScan) {
    Open(1);
    BeginObjectScan(gRegistry);
    ObjectNumber number;
    ASSERT_NE(NextObject(gRegistry, &number), nullptr);
    // Same thread may use the registry inside its own scan (re-entrant).
    EXPECT_NE(FindObject(gRegistry, 1), nullptr);
    EndObjectScan(gRegistry);
}

TEST_F(ObjectRegistryTest, FailedAllocationsReturnNullAndLeaveTheRegistryUsable) {
    Open(1);
    PlatformHeapFailAfter(ProgramHeap(), 0);
    EXPECT_EQ(ObtainObject(gRegistry, DynamicNumber), nullptr);
    EXPECT_EQ(ObtainObject(gRegistry, 7), nullptr);    // record cannot be made
    EXPECT_EQ(ObtainObject(gRegistry, 5000), nullptr); // table cannot grow
    EXPECT_EQ(gRegistry->slotCount, 16);
    PlatformHeapFailAfter(ProgramHeap(), -1);
    EXPECT_NE(FindObject(gRegistry, 1), nullptr);
    EXPECT_NE(Open(7), nullptr);
}

TEST_F(ObjectRegistryTest, RecordListWalksBothWays) {
    RecordList list{};
    auto* a = static_cast<int*>(AddListRecord(&list, sizeof(int)));
    auto* b = static_cast<int*>(AddListRecord(&list, sizeof(int)));
    auto* c = static_cast<int*>(AddListRecord(&list, sizeof(int)));
    EXPECT_EQ(*a, 0); // payloads come zero-filled
    EXPECT_EQ(ListFirst(&list), c);
    EXPECT_EQ(ListNext(c), b);
    EXPECT_EQ(ListLast(&list), a);
    EXPECT_EQ(ListPrevious(a), b);
    RemoveListRecord(&list, b);
    EXPECT_EQ(ListNext(c), a);
    EXPECT_EQ(ListPrevious(a), c);
    RemoveListRecord(&list, a);
    RemoveListRecord(&list, c);
    EXPECT_EQ(ListFirst(&list), nullptr);
}

} // namespace
