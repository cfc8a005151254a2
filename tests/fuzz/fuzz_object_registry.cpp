// The object registry against a plain map. The input makes a registry (any
// record size and first table, also ones it must refuse), then obtains
// numbered and dynamic records (small numbers, which the table grows to,
// and numbers no table can reach), marks them in use, releases, scans with
// releases during the scan, frees everything, and makes allocations fail.
// After every step each number the model knows is found exactly while its
// object is in use, every record still holds the marker written into it, and
// a scan gives the numbered objects ascending, then the dynamic ones oldest
// first. Destroying the registry gives back every byte and closes nothing.
#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

#include "runtime/object_registry.h"
#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Larger blocks fail, so that a table for a far number cannot be had.
constexpr size_t kHeapLimit = size_t{1} << 20;

struct Known {
    void* record;
    intptr_t marker; // 0: obtained, not in use; else a value no other record holds
};

class Model {
  public:
    Model(ObjectRegistry* registry, int32_t step) : registry_(registry), step_(step) {}

    // The registry's close operation, as the libraries write it.
    void OnClose(ObjectNumber number) {
        closed_.push_back(number);
        if (FindObject(registry_, number)) ReleaseObject(registry_, number);
    }

    void Obtain(ObjectNumber number, bool failing, uint8_t use) {
        closed_.clear();
        void* record = ObtainObject(registry_, number);
        bool far = number < -1 || number > 255; // no table for it can be had
        FUZZ_CHECK(far ? !record : record || failing);
        if (!record) {
            FUZZ_CHECK(closed_.empty());
            return;
        }
        Known fresh{record, 0};
        if (number == DynamicNumber) {
            dynamic_.push_back({reinterpret_cast<ObjectNumber>(record), fresh});
        } else if (auto it = numbered_.find(number); it != numbered_.end()) {
            // Obtained again: closed, and the same record comes back emptied.
            FUZZ_CHECK(it->second.record == record && closed_ == std::vector{number});
            it->second = fresh;
        } else {
            numbered_[number] = fresh;
        }
        Known& known = number == DynamicNumber ? dynamic_.back().second : numbered_[number];
        Check(known); // zero-filled
        if (use & 1) *static_cast<intptr_t*>(record) = known.marker = ++markers_;
    }

    void Release(ObjectNumber number) {
        ReleaseObject(registry_, number);
        if (auto it = numbered_.find(number); it != numbered_.end())
            it->second.marker = 0; // emptied, kept
        std::erase_if(dynamic_, [&](const auto& entry) { return entry.first == number; });
    }

    // A scan that releases `victim` after `before` visits (or stops there).
    void Scan(size_t before, ObjectNumber victim, bool stopEarly) {
        std::vector<ObjectNumber> expected = Order(), seen;
        BeginObjectScan(registry_);
        ObjectNumber number;
        while (seen.size() < before && NextObject(registry_, &number))
            seen.push_back(number);
        if (seen.size() == before) {
            if (stopEarly) {
                EndObjectScan(registry_);
                expected.resize(before);
            } else {
                // The release leaves out the victim if it was still to come.
                Release(victim);
                auto it = std::find(expected.begin() + before, expected.end(), victim);
                if (it != expected.end()) expected.erase(it);
                while (NextObject(registry_, &number))
                    seen.push_back(number);
            }
        }
        FUZZ_CHECK(seen == expected);
    }

    // Closes every object in scan order; what the close leaves in use stays.
    void FreeAll() {
        closed_.clear();
        std::vector<ObjectNumber> expected = Order();
        FreeAllObjects(registry_);
        FUZZ_CHECK(closed_ == expected);
        for (auto& [number, known] : numbered_)
            known.marker = 0;
        std::erase_if(dynamic_, [](const auto& entry) { return entry.second.marker != 0; });
    }

    void Compare() {
        for (const auto& [number, known] : numbered_)
            Check(known, number);
        for (const auto& [number, known] : dynamic_)
            Check(known, number);
        for (ObjectNumber nothing : {ObjectNumber{-1}, ObjectNumber{-2}, INTPTR_MIN})
            FUZZ_CHECK(FindObject(registry_, nothing) == nullptr);
        Scan(SIZE_MAX, 0, false);
    }

    // A number of the model's, as the input picks it.
    ObjectNumber Pick(uint8_t byte) const {
        if (byte < 0xC0 || (byte >= 0xF0 && dynamic_.empty())) return byte % 64;
        if (byte >= 0xF0) return dynamic_[byte % dynamic_.size()].first;
        const intptr_t limit = static_cast<intptr_t>(SIZE_MAX / sizeof(void*) / 2);
        const intptr_t slots = static_cast<intptr_t>(SIZE_MAX / sizeof(void*));
        const ObjectNumber far[] = {
            -2,         INTPTR_MIN,    DynamicNumber,
            limit,      limit - step_, limit - step_ + 1,
            INTPTR_MAX, slots,         static_cast<ObjectNumber>(kHeapLimit / sizeof(void*))};
        return far[byte % std::size(far)];
    }

  private:
    std::vector<ObjectNumber> Order() const {
        std::vector<ObjectNumber> order;
        for (const auto& [number, known] : numbered_)
            if (known.marker) order.push_back(number);
        for (const auto& [number, known] : dynamic_)
            order.push_back(number); // whatever their marker holds
        return order;
    }
    // Found while in use, and holding what was written into it.
    void Check(const Known& known, ObjectNumber number = -2) const {
        if (number != -2)
            FUZZ_CHECK(FindObject(registry_, number) == (known.marker ? known.record : nullptr));
        FUZZ_CHECK(RecordMarker(known.record) == known.marker);
    }

    ObjectRegistry* registry_;
    int32_t step_;
    std::map<ObjectNumber, Known> numbered_;
    std::vector<std::pair<ObjectNumber, Known>> dynamic_; // oldest first
    std::vector<ObjectNumber> closed_;
    intptr_t markers_ = 0;
};

Model* gModel;

void Close(ObjectNumber number) {
    gModel->OnClose(number);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ProgramHeapCreate();
    PlatformHeapFailLargerThan(ProgramHeap(), kHeapLimit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t liveBefore = PlatformHeapLiveBytes(ProgramHeap());
    FuzzInput input(data, size);
    const int32_t recordSize = 4 + 4 * (input.Byte() % 6); // 4 holds no marker
    const int32_t slots = input.Byte() % 17;               // 0 is no table
    const int32_t allowed = input.Byte() % 4;              // 0, 1: registry or table missing
    PlatformHeapFailAfter(ProgramHeap(), allowed);
    ObjectRegistry* registry = CreateObjectRegistry(recordSize, slots, Close);
    PlatformHeapFailAfter(ProgramHeap(), -1);
    FUZZ_CHECK((registry != nullptr) == (recordSize >= 8 && slots >= 1 && allowed >= 2));
    if (!registry) {
        FUZZ_CHECK(PlatformHeapLiveBytes(ProgramHeap()) == liveBefore);
        return 0;
    }
    Model model(registry, slots);
    gModel = &model;
    bool failing = false; // armed by one step for the obtain of the next
    while (!input.Empty()) {
        uint8_t op = input.Byte() % 6, a = input.Byte(), b = input.Byte();
        if (op == 0) model.Obtain(model.Pick(a), failing, b);
        if (op == 1) model.Obtain(DynamicNumber, failing, b);
        if (op == 2) model.Release(model.Pick(a));
        if (op == 3) model.Scan(a % 8, model.Pick(b), a >= 0x80);
        if (op == 4) model.FreeAll();
        failing = op == 5;
        PlatformHeapFailAfter(ProgramHeap(), failing ? a % 3 : -1);
        model.Compare();
    }
    PlatformHeapFailAfter(ProgramHeap(), -1);
    DestroyObjectRegistry(registry);
    FUZZ_CHECK(PlatformHeapLiveBytes(ProgramHeap()) == liveBefore);
    return 0;
}
