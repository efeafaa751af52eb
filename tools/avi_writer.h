#pragma once
// Writes uncompressed 24-bit RGB video ('DIB ' frames, bottom-up rows) as an
// AVI 1.0 file with an index, the form the platform's AVI splitter reads.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ovl::tools {

class AviWriter {
 public:
  AviWriter() = default;
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;
  ~AviWriter();

  // frameDuration in 100-ns units (e.g. 400000 for 25 frames per second).
  bool Open(const std::string& path, std::int32_t width, std::int32_t height, std::int64_t frameDuration);
  // One frame of stride x height bytes, rows bottom-up.
  bool AddFrame(const std::uint8_t* pixels);
  // Completes the headers and the index; false when any write failed.
  bool Close();
  std::uint32_t Frames() const { return frames_; }

 private:
  void PutHeaders();

  std::FILE* file_ = nullptr;
  std::int32_t width_ = 0, height_ = 0;
  std::int64_t frameDuration_ = 0;
  std::uint32_t frameBytes_ = 0;
  std::uint32_t frames_ = 0;
  long moviStart_ = 0;
  std::vector<std::uint32_t> offsets_;
  bool ok_ = true;
};

}  // namespace ovl::tools
