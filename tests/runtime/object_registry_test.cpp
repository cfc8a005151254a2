#include "runtime/object_registry.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/failing_heap.h"
#include "tests/support/program_heap_fixture.h"

namespace {

struct Record {
    intptr_t marker;
    int32_t payload;
};

ObjectRegistry* gRegistry;
std::vector<ObjectNumber> gClosed;

// The library's close operation, as a real library writes it: it uses the
// registry again while the registry's lock is held.
void CloseRecord(ObjectNumber number) {
    gClosed.push_back(number);
    if (FindObject(gRegistry, number)) ReleaseObject(gRegistry, number);
}

class ObjectRegistryTest : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        gClosed.clear();
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
    static ObjectNumber NumberOf(Record* dynamic) {
        return reinterpret_cast<ObjectNumber>(dynamic);
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

// Find sees only records in use; a number obtained again has what it held
// closed (in use or released) and gets the same record back, emptied.
TEST_F(ObjectRegistryTest, ObtainingANumberAgainClosesItAndReusesItsRecord) {
    auto* record = static_cast<Record*>(ObtainObject(gRegistry, 4));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(FindObject(gRegistry, 4), nullptr); // marker still 0
    Open(4)->payload = 99;
    EXPECT_EQ(FindObject(gRegistry, 4), record);
    EXPECT_EQ(ObtainObject(gRegistry, 4), record);
    EXPECT_EQ(record->payload + record->marker, 0);
    Open(4)->payload = 5;
    ReleaseObject(gRegistry, 4);
    EXPECT_EQ(record->payload + record->marker, 0);
    EXPECT_EQ(ObtainObject(gRegistry, 4), record);
    EXPECT_EQ(gClosed, (std::vector<ObjectNumber>{4, 4, 4, 4}));
}

// A dynamic number is its record's address while the record lives; other
// numbers name nothing, and releasing them touches nothing.
TEST_F(ObjectRegistryTest, DynamicNumbersAreRecordAddressesAndOtherNumbersNameNothing) {
    Record* older = Open(DynamicNumber);
    Record* newer = Open(DynamicNumber);
    ReleaseObject(gRegistry, NumberOf(older));
    EXPECT_EQ(FindObject(gRegistry, NumberOf(newer)), newer);
    Record unrelated{1, 0};
    ReleaseObject(gRegistry, NumberOf(&unrelated));
    ReleaseObject(gRegistry, -5);
    EXPECT_EQ(unrelated.marker, 1);
    for (ObjectNumber nothing :
         {NumberOf(older), NumberOf(&unrelated), ObjectNumber{-2}, ObjectNumber{1000}})
        EXPECT_EQ(FindObject(gRegistry, nothing), nullptr);
    EXPECT_EQ(ObtainObject(gRegistry, -2), nullptr);
}

// 40 lies beyond the initial table; 3 is obtained but not in use. Freeing
// all closes in the same order, the close operation using the registry
// inside the scan (its lock is re-entrant).
TEST_F(ObjectRegistryTest, ScanAndFreeAllGoNumbersAscendingThenDynamicOnesOldestFirst) {
    Record* olderDynamic = Open(DynamicNumber);
    Open(40);
    Open(5);
    Record* newerDynamic = Open(DynamicNumber);
    Open(0);
    ObtainObject(gRegistry, 3);
    std::vector<ObjectNumber> expected{0, 5, 40, NumberOf(olderDynamic), NumberOf(newerDynamic)};
    EXPECT_EQ(Scan(), expected);
    // The record a scan visits next, released meanwhile, is left out.
    BeginObjectScan(gRegistry);
    ObjectNumber number;
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(NextObject(gRegistry, &number), nullptr);
    ReleaseObject(gRegistry, NumberOf(newerDynamic));
    EXPECT_EQ(NextObject(gRegistry, &number), nullptr);
    expected.pop_back();
    FreeAllObjects(gRegistry);
    EXPECT_EQ(gClosed, expected);
    EXPECT_TRUE(Scan().empty());
}

// A record that cannot be made (nor the table grown for it) leaves the
// registry as it was: nothing new in a scan, nothing closed.
TEST_F(ObjectRegistryTest, RecordThatCannotBeMadeLeavesTheRegistryAsItWas) {
    Open(DynamicNumber);
    const std::vector<ObjectNumber> before = Scan();
    for (ObjectNumber number : {ObjectNumber{7}, ObjectNumber{40}, DynamicNumber}) {
        SCOPED_TRACE(number);
        auto obtain = [&] { return ObtainObject(gRegistry, number) != nullptr; };
        auto unchanged = [&](int) { EXPECT_EQ(Scan(), before); };
        EXPECT_GE(FailEachAllocation(ProgramHeap(), NoPreparation, obtain, unchanged), 1);
    }
    EXPECT_TRUE(gClosed.empty()); // a record never made has nothing to close
    // A registry that cannot be made takes nothing: the network library's
    // start makes one under each allocation failure (tests/net/server_test.cpp).
    ObjectRegistry* plain = CreateObjectRegistry(8, 4, nullptr);
    FreeAllObjects(plain); // without a close operation: nothing to call
    DestroyObjectRegistry(plain);
}

} // namespace
