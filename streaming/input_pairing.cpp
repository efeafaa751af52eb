#include "streaming/input_pairing.h"

#include "diag/trace.h"
#include "persistence/core/com_ptr.h"
#include "streaming/multi_input_transform_filter.h"
#include "streaming/mux_transform_input_pin.h"

InputPairing::InputPairing()
    : frameAvailable_(nullptr),
      advanceStream_(nullptr),
      stopping_(false),
      inSeek_(false),
      secondFrameDuration_(kDefaultFrameDuration) {}

InputPairing::~InputPairing() {
  if (frameAvailable_ != nullptr) CloseHandle(frameAvailable_);
  if (advanceStream_ != nullptr) CloseHandle(advanceStream_);
}

bool InputPairing::Create() {
  frameAvailable_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  advanceStream_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return frameAvailable_ != nullptr && advanceStream_ != nullptr;
}

void InputPairing::SetSecondFrameDuration(REFERENCE_TIME duration) {
  secondFrameDuration_ = duration != 0 ? duration : kDefaultFrameDuration;
}

// --- the waking side: no lock is taken before the events are set, so a
// thread parked in Receive is always released. ---

void InputPairing::WakeBoth() {
  SetEvent(frameAvailable_);
  SetEvent(advanceStream_);
}

void InputPairing::StartStreaming() {
  SetHeld(nullptr);
  stopping_ = false;
  ResetEvent(frameAvailable_);
  ResetEvent(advanceStream_);
  inSeek_ = false;
}

void InputPairing::Stop() {
  stopping_ = true;
  WakeBoth();
}

void InputPairing::BeginFlush() { WakeBoth(); }

void InputPairing::BeginSeek() {
  inSeek_ = true;
  WakeBoth();
}

void InputPairing::EndSeek() { inSeek_ = false; }

// Either input's end frees the other: the main input stops waiting for a
// partner, the second input stops holding one. The ending input's partner
// is woken first.
void InputPairing::EndOfStream(int index) {
  ovl::diag::Trace("\nEndOfStream for pin %d", index);
  if (index == 0) {
    SetEvent(frameAvailable_);
    SetEvent(advanceStream_);
  } else {
    SetEvent(advanceStream_);
    SetEvent(frameAvailable_);
  }
}

// --- the held sample ---

IMediaSample* InputPairing::AcquireHeldSample() {
  CAutoLock lock(&heldLock_);
  if (held_ != nullptr) held_->AddRef();
  return held_;
}

// AdvanceStream is a level, not a message about one sample: set when nothing
// (or a newer sample) is held, it would let the second input's next sample
// go before the main input has looked at it, and under load the second video
// would drift ahead a frame at a time. So the main input lets go only of the
// sample it examined, and otherwise just looks again. The lock orders this
// against the second input publishing and withdrawing its sample, so the
// FrameAvailable of a sample published meanwhile is never reset.
void InputPairing::ReleaseExamined(IMediaSample* examined) {
  CAutoLock lock(&heldLock_);
  if (held_ != nullptr && held_ != examined) return;  // a newer sample waits to be looked at
  ResetEvent(frameAvailable_);
  if (held_ != nullptr) SetEvent(advanceStream_);
}

void InputPairing::SetHeld(IMediaSample* sample) {
  CAutoLock lock(&heldLock_);
  held_ = sample;
}

InputPairing::Cover InputPairing::HeldSampleCovers(IMediaSample* main, IMediaSample** held) {
  *held = AcquireHeldSample();
  IMediaSample* sample = *held;
  if (sample == nullptr) return Cover::None;
  REFERENCE_TIME start1 = 0, end1 = 0, start0 = 0, stop0 = 0;
  const bool heldTimed = SUCCEEDED(sample->GetTime(&start1, &end1));
  const bool mainTimed = SUCCEEDED(main->GetTime(&start0, &stop0));
  // Untimed samples: a held sample without times is shown once, then let
  // go; a main sample without times takes whatever is held.
  if (!heldTimed) return Cover::Once;
  if (!mainTimed) return Cover::Covers;
  const REFERENCE_TIME shortest = secondFrameDuration_;
  if (end1 - start1 < shortest) end1 = start1 + shortest;
  return end1 > start0 ? Cover::Covers : Cover::None;
}

// --- the waiting side ---

// The marks are looked at before every wait, not only after it: whoever
// raises one sets the event afterwards, but this thread may just have reset
// that event (or did so at the end of its previous call), and a wake-up lost
// that way would park the thread for good.
bool InputPairing::MainMustLeave(const CMuxTransformInputPin& main, const CMuxTransformInputPin& second,
                                 unsigned tag, HRESULT* result) {
  if (main.IsFlushing() || second.IsFlushing()) {
    ovl::diag::Trace("\n- OVLPin::Receive0(%03x) (FLUSH)", tag);
    *result = S_FALSE;
    return true;
  }
  if (stopping_ || main.IsEndOfStream()) {
    ovl::diag::Trace("\n- OVLPin::Receive0(%03x) (STOP/EOS)", tag);
    SetEvent(frameAvailable_);
    *result = S_OK;
    return true;
  }
  if (inSeek_) {
    ovl::diag::Trace("\n- OVLPin::Receive0(%03x) (in Seek)", tag);
    *result = S_OK;  // dropped: the position is changing
    return true;
  }
  return false;
}

HRESULT InputPairing::ReceiveMain(IMediaSample* sample, CMuxTransformInputPin& main,
                                  CMuxTransformInputPin* second, CMultipleInputPinTransformFilter* filter) {
  const unsigned tag = ovl::diag::SampleTag(sample);
  if (inSeek_) {
    ovl::diag::Trace("\n- OVLPin::Receive0(%03x) (in Seek)", tag);
    return S_OK;  // dropped while the position changes
  }
  if (second == nullptr || !second->IsConnected() || second->IsEndOfStream() || main.IsEndOfStream()) {
    const HRESULT alone = filter->Receive(0, sample, nullptr);
    ovl::diag::Trace("\n- OVLPin::Receive0(%03x) (normal, only one pin)", tag);
    return alone;
  }
  HRESULT result = S_OK;
  for (;;) {
    if (MainMustLeave(main, *second, tag, &result)) return result;
    ovl::diag::Trace("\nWaiting for FrameAvailable");
    WaitForSingleObject(frameAvailable_, INFINITE);
    ovl::diag::Trace("\nFinished Waiting for FrameAvailable");
    if (MainMustLeave(main, *second, tag, &result)) return result;
    IMediaSample* looked = nullptr;
    const Cover cover = HeldSampleCovers(sample, &looked);
    ovl::ComPtr<IMediaSample> held(looked);
    if (cover != Cover::None) {
      // The frame is composed with exactly this sample, even if the second
      // input lets go of it meanwhile (a flush or stop): our reference keeps
      // it from going back to its allocator.
      result = filter->Receive(0, sample, held.Get());
      if (cover == Cover::Once) {
        // Shown once: let the second input move on to its next sample.
        ReleaseExamined(held.Get());
      } else {
        // The next main sample looks at the same held sample first.
        SetEvent(frameAvailable_);
      }
      ovl::diag::Trace("\n- OVLPin::Receive0(%03x) (NORMAL)", tag);
      return result;
    }
    // Nothing held covers this sample: let the second input move on and look again.
    ReleaseExamined(held.Get());
    if (second->IsEndOfStream()) {
      // The second input has ended meanwhile: the sample in hand is composed alone.
      const HRESULT alone = filter->Receive(0, sample, nullptr);
      ovl::diag::Trace("\n- OVLPin::Receive0(%03x) (normal, only one pin)", tag);
      return alone;
    }
  }
}

HRESULT InputPairing::ReceiveSecond(IMediaSample* sample, CMuxTransformInputPin& second,
                                    CMuxTransformInputPin* main) {
  const unsigned tag = ovl::diag::SampleTag(sample);
  if (main != nullptr && main->IsEndOfStream()) {
    ovl::diag::Trace("\n- OVLPin::Receive1(%03x) (EOS)", tag);
    return S_OK;  // nobody will use it
  }
  if (inSeek_) {
    ovl::diag::Trace("\n- OVLPin::Receive1(%03x) (in Seek)", tag);
    return S_OK;
  }
  // The previous call reset AdvanceStream: a stop or flush that set it just
  // before would otherwise be lost and this sample held for good.
  const auto mustLeave = [&](HRESULT* result) {
    if (second.IsFlushing() || (main != nullptr && main->IsFlushing())) {
      ovl::diag::Trace("\n- OVLPin::Receive1(%03x) (FLUSH)", tag);
      *result = S_FALSE;
      return true;
    }
    if (stopping_ || second.IsEndOfStream()) {
      ovl::diag::Trace("\n- OVLPin::Receive1(%03x) (STOP/EOS)", tag);
      *result = S_OK;
      return true;
    }
    return false;
  };
  HRESULT result = S_OK;
  if (mustLeave(&result)) return result;
  SetHeld(sample);
  SetEvent(frameAvailable_);
  ovl::diag::Trace("\nWaiting for Advance instruction");
  WaitForSingleObject(advanceStream_, INFINITE);
  ovl::diag::Trace("\nFinished Waiting for Advance instruction");
  SetHeld(nullptr);
  if (mustLeave(&result)) return result;
  ResetEvent(advanceStream_);
  ovl::diag::Trace("\n- OVLPin::Receive1(%03x) (NORMAL)", tag);
  return S_OK;
}
