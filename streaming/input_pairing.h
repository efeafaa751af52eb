#pragma once
// How the overlay filter's two inputs pace each other, in one place: the
// events, the marks, the held sample and the rules for who waits and who
// wakes.
//
// The second input's streaming thread parks inside Receive holding its
// sample until the main input has used it. The main input waits, for each
// of its samples, until the second input holds one that still covers the
// sample's start, and composes the frame with exactly that sample. The
// filter's state changes (stop, flush, seek, end of stream) raise a mark
// and then set both events, so a parked thread always leaves.
//
// The events are manual-reset and unnamed: two filters in one process never
// wake each other.
#include <atomic>

#include "streaming/base/base_classes.h"

class CMuxTransformInputPin;
class CMultipleInputPinTransformFilter;

class InputPairing {
 public:
  // The shortest span a second-input frame is shown for when its media type
  // gives none (1/24 s).
  static constexpr REFERENCE_TIME kDefaultFrameDuration = 416666;

  InputPairing();
  ~InputPairing();
  InputPairing(const InputPairing&) = delete;
  InputPairing& operator=(const InputPairing&) = delete;

  // False when the events cannot be made.
  bool Create();

  // --- the waking side: the filter's state changes ---
  void StartStreaming();  // marks cleared, events reset, nothing held
  void Stop();
  void BeginFlush();
  void BeginSeek();
  void EndSeek();
  void EndOfStream(int index);

  void SetSecondFrameDuration(REFERENCE_TIME duration);

  // --- the waiting side, on each input's streaming thread ---
  // A main-input sample: waits for a covering second-input sample and hands
  // the pair to `filter->Receive(0, sample, paired)`; composes it alone when
  // the second input is absent or has ended.
  HRESULT ReceiveMain(IMediaSample* sample, CMuxTransformInputPin& main, CMuxTransformInputPin* second,
                      CMultipleInputPinTransformFilter* filter);
  // A second-input sample: held (this thread parked) until the main input
  // lets it go, or a state change does.
  HRESULT ReceiveSecond(IMediaSample* sample, CMuxTransformInputPin& second, CMuxTransformInputPin* main);

 private:
  // How the held sample serves a main sample: not at all, as long as it
  // covers the main sample's start, or once (it has no times).
  enum class Cover { None, Covers, Once };
  Cover HeldSampleCovers(IMediaSample* main, IMediaSample** held);
  IMediaSample* AcquireHeldSample();
  // After the main input looked at `examined` (null: nothing was held):
  // FrameAvailable reset, and the second input let go of that sample if it
  // still holds it.
  void ReleaseExamined(IMediaSample* examined);
  void SetHeld(IMediaSample* sample);
  // Whether the main input's waiting sample must leave now, with the answer
  // for upstream.
  bool MainMustLeave(const CMuxTransformInputPin& main, const CMuxTransformInputPin& second, unsigned tag,
                     HRESULT* result);
  void WakeBoth();

  HANDLE frameAvailable_;  // the second input published a sample, or the main input must look again
  HANDLE advanceStream_;   // the second input may let go of its sample
  std::atomic<bool> stopping_;  // set by Stop, cleared when streaming starts
  std::atomic<bool> inSeek_;    // set while a position change is forwarded to the inputs
  std::atomic<REFERENCE_TIME> secondFrameDuration_;

  CCritSec heldLock_;             // guards the pointer while it changes hands
  IMediaSample* held_ = nullptr;  // no reference of its own: the holding call has not returned
};
