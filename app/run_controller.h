#pragma once
// The reactions to the panel's three buttons; called by the event loop on
// the main thread.

// Start: panel running, stop request cleared, a worker started unless the
// one recorded still runs.
void OnStartPressed();
// Stop: panel idle, stop request set, the worker awaited at most 1000 ms.
void OnStopPressed();
// Send: the send request raised for the worker.
void OnSendPressed();
