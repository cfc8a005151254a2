#include "ui/gadgets/gadget_text.h"

#include <algorithm>
#include <string>

#include "runtime/cp1251.h"
#include "runtime/platform.h"
#include "ui/gadgets/gadget_append_queue.h"
#include "ui/gadgets/gadget_store.h"
#include "ui/windows/native_text.h"

namespace {

enum TextRequestKind : WPARAM {
    kGetTextRequest = 1,
    kSetTextRequest = 2,
    kAppendTextRequest = 3,
    kInsertQueuedRequest = 4, // posted: insert what waits on the append queue
};

struct TextRequest {
    TextRequest* next; // in the list of requests in flight
    const Text* text;  // to set or append
    Text* result;      // read into
};

struct TextCarrier {
    UINT message;
    bool ready;
    ReentrantLock lock;
    TextRequest* inFlight;
};

TextCarrier gCarrier;

// A registered message can be sent by any process with any lParam; only a
// request that this process has in flight is ever followed.
void Enlist(TextRequest* request) {
    LockGuard guard(&gCarrier.lock);
    request->next = gCarrier.inFlight;
    gCarrier.inFlight = request;
}

void Unlist(TextRequest* request) {
    LockGuard guard(&gCarrier.lock);
    for (TextRequest** link = &gCarrier.inFlight; *link; link = &(*link)->next) {
        if (*link == request) {
            *link = request->next;
            return;
        }
    }
}

bool InFlight(const TextRequest* request) {
    LockGuard guard(&gCarrier.lock);
    for (TextRequest* r = gCarrier.inFlight; r; r = r->next)
        if (r == request) return true;
    return false;
}

bool OwnedByCallingThread(HWND control) {
    return GetWindowThreadProcessId(control, nullptr) == GetCurrentThreadId();
}

// Sends the request to the control's thread; false when it could not be
// delivered (no carrier yet, or the control is gone).
bool Carry(HWND control, TextRequestKind kind, TextRequest* request) {
    if (!gCarrier.ready) return false;
    Enlist(request);
    LRESULT served =
        SendMessageW(control, gCarrier.message, kind, reinterpret_cast<LPARAM>(request));
    Unlist(request);
    return served != 0;
}

Text GetTextHere(GadgetRecord* record) {
    if (record->kind->getText) return record->kind->getText(record);
    return ReadWindowText(record->handle);
}

void SetTextHere(GadgetRecord* record, const Text& text) {
    if (record->kind->setText)
        record->kind->setText(record, text);
    else
        WriteWindowText(record->handle, text);
}

void AppendTextHere(GadgetRecord* record, const Text& text) {
    if (record->kind->appendText)
        record->kind->appendText(record, text);
    else
        SetTextHere(record, GetTextHere(record) + text);
}

// Inserts, in one append, what other threads have queued for the gadget, so
// that whatever is done to its text next comes after every earlier append.
void InsertQueued(GadgetRecord* record) {
    Text queued = TakeQueuedText(record->handle);
    if (!queued.empty()) AppendTextHere(record, queued);
}

// Sets or appends on the control's own thread, after what is queued for it.
void ChangeTextHere(GadgetRecord* record, TextRequestKind kind, const Text& text) {
    InsertQueued(record);
    (kind == kAppendTextRequest ? AppendTextHere : SetTextHere)(record, text);
}

// An append from another thread: queued, with one wake-up posted for the
// first text of a batch. What cannot be queued (the queue is full, or no
// memory) or whose wake-up cannot be posted (the control is gone, or its
// thread's message queue is full) is carried over and waited for instead, as
// a set is: nothing is dropped, and the carried append comes after
// everything queued before it.
void AppendFromAnotherThread(HWND control, const Text& text) {
    switch (QueueAppendText(control, text)) {
    case AppendQueued::Joined:
        return;
    case AppendQueued::First:
        if (gCarrier.ready && PostMessageW(control, gCarrier.message, kInsertQueuedRequest, 0))
            return;
        if (Text back = TakeQueuedText(control); !back.empty()) {
            TextRequest request{nullptr, &back, nullptr};
            Carry(control, kAppendTextRequest, &request);
        }
        return;
    case AppendQueued::Refused: {
        TextRequest request{nullptr, &text, nullptr};
        Carry(control, kAppendTextRequest, &request);
        return;
    }
    }
}

} // namespace

void GadgetTextInit() {
    if (gCarrier.ready) return;
    LockInit(&gCarrier.lock);
    gCarrier.message = RegisterWindowMessageW(L"KX_GadgetTextRequest");
    gCarrier.ready = gCarrier.message != 0;
}

bool IsGadgetTextRequest(UINT message) {
    return gCarrier.ready && message == gCarrier.message;
}

LRESULT ServeGadgetTextRequest(GadgetRecord* record, WPARAM wParam, LPARAM lParam) {
    if (wParam == kInsertQueuedRequest) {
        InsertQueued(record);
        return 1;
    }
    auto* request = reinterpret_cast<TextRequest*>(lParam);
    if (!request || !InFlight(request)) return 0;
    InsertQueued(record);
    if (wParam == kSetTextRequest && request->text) {
        SetTextHere(record, *request->text);
        return 1;
    }
    if (wParam == kAppendTextRequest && request->text) {
        AppendTextHere(record, *request->text);
        return 1;
    }
    if (wParam == kGetTextRequest && request->result) {
        *request->result = GetTextHere(record);
        return 1;
    }
    return 0;
}

void GadgetSetText(ObjectNumber number, const Text& text) {
    GadgetRecord* record = FindGadget(number);
    if (!record) return;
    if (OwnedByCallingThread(record->handle)) return ChangeTextHere(record, kSetTextRequest, text);
    TextRequest request{nullptr, &text, nullptr};
    Carry(record->handle, kSetTextRequest, &request);
}

void GadgetAppendText(ObjectNumber number, const Text& text) {
    if (text.empty()) return;
    GadgetRecord* record = FindGadget(number);
    if (!record) return;
    if (OwnedByCallingThread(record->handle))
        ChangeTextHere(record, kAppendTextRequest, text);
    else
        AppendFromAnotherThread(record->handle, text);
}

Text GadgetGetText(ObjectNumber number) {
    GadgetRecord* record = FindGadget(number);
    if (!record) return Text();
    if (OwnedByCallingThread(record->handle)) {
        InsertQueued(record);
        return GetTextHere(record);
    }
    Text result;
    TextRequest request{nullptr, nullptr, &result};
    Carry(record->handle, kGetTextRequest, &request);
    return result;
}

Text ReadWindowText(HWND control, bool* exact) {
    int length = std::max(GetWindowTextLengthW(control), 0);
    // A zero first character: a control that copies nothing reads as "".
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(control, buffer.data(), length + 1);
    std::u16string_view chars(reinterpret_cast<const char16_t*>(buffer.data()),
                              static_cast<size_t>(std::clamp(copied, 0, length)));
    Text text = Utf16ToCp1251(chars);
    if (exact) {
        // Every character that could not be held became "?": none did when
        // the counts of "?" agree.
        chars = chars.substr(0, std::min(chars.find(u'\0'), chars.size()));
        *exact = std::count(chars.begin(), chars.end(), u'?') ==
                 std::count(text.begin(), text.end(), '?');
    }
    return text;
}

void WriteWindowText(HWND control, const Text& text) {
    SetWindowTextW(control, NativeText(text).get());
}
