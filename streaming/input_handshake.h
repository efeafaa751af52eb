#pragma once
// The two events and marks by which the main input and the second input of
// the overlay filter pace each other. The events are manual-reset and belong
// to one filter: unnamed, so two filters in one process never wake each
// other.
#include <windows.h>

struct InputHandshake {
  HANDLE frameAvailable = nullptr;  // the second input published a sample, or the main input must look again
  HANDLE advanceStream = nullptr;   // the second input may let go of its sample
  volatile LONG stopping = 0;       // set by Stop, cleared when streaming starts
  volatile LONG inSeek = 0;         // set while a position change is forwarded to the inputs

  bool Create() {
    frameAvailable = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    advanceStream = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return frameAvailable != nullptr && advanceStream != nullptr;
  }
  void Close() {
    if (frameAvailable != nullptr) CloseHandle(frameAvailable);
    if (advanceStream != nullptr) CloseHandle(advanceStream);
    frameAvailable = advanceStream = nullptr;
  }
  // Wakes both inputs, whichever is parked.
  void WakeBoth() {
    SetEvent(frameAvailable);
    SetEvent(advanceStream);
  }
};
