#include "tools/avi_writer.h"

#include <cstring>

#include "engine/core/pixel_image.h"

namespace ovl::tools {
namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutTag(std::vector<std::uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

AviWriter::~AviWriter() {
  if (file_ != nullptr) Close();
}

bool AviWriter::Open(const std::string& path, std::int32_t width, std::int32_t height, std::int64_t frameDuration) {
  if (width <= 0 || height <= 0 || frameDuration <= 0) return false;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  width_ = width;
  height_ = height;
  frameDuration_ = frameDuration;
  frameBytes_ = static_cast<std::uint32_t>(RgbStride(width) * static_cast<std::size_t>(height));
  frames_ = 0;
  offsets_.clear();
  ok_ = true;
  PutHeaders();  // placeholders; rewritten by Close with the final counts
  return ok_;
}

void AviWriter::PutHeaders() {
  const std::uint32_t usPerFrame = static_cast<std::uint32_t>(frameDuration_ / 10);
  std::vector<std::uint8_t> strl;
  PutTag(strl, "strh");
  Put32(strl, 56);
  PutTag(strl, "vids");
  PutTag(strl, "DIB ");
  Put32(strl, 0);  // flags
  Put16(strl, 0);  // priority
  Put16(strl, 0);  // language
  Put32(strl, 0);  // initial frames
  Put32(strl, static_cast<std::uint32_t>(frameDuration_));  // scale / rate = seconds per frame
  Put32(strl, 10000000);
  Put32(strl, 0);  // start
  Put32(strl, frames_);
  Put32(strl, frameBytes_);
  Put32(strl, 0xFFFFFFFFu);  // quality
  Put32(strl, 0);            // sample size
  Put16(strl, 0);
  Put16(strl, 0);
  Put16(strl, static_cast<std::uint16_t>(width_));
  Put16(strl, static_cast<std::uint16_t>(height_));
  PutTag(strl, "strf");
  Put32(strl, 40);
  Put32(strl, 40);
  Put32(strl, static_cast<std::uint32_t>(width_));
  Put32(strl, static_cast<std::uint32_t>(height_));
  Put16(strl, 1);
  Put16(strl, 24);
  Put32(strl, 0);  // BI_RGB
  Put32(strl, frameBytes_);
  for (int i = 0; i < 4; ++i) Put32(strl, 0);

  std::vector<std::uint8_t> hdrl;
  PutTag(hdrl, "avih");
  Put32(hdrl, 56);
  Put32(hdrl, usPerFrame);
  Put32(hdrl, 0);            // max bytes per second
  Put32(hdrl, 0);            // padding granularity
  Put32(hdrl, 0x10);         // AVIF_HASINDEX
  Put32(hdrl, frames_);
  Put32(hdrl, 0);            // initial frames
  Put32(hdrl, 1);            // streams
  Put32(hdrl, frameBytes_);  // suggested buffer size
  Put32(hdrl, static_cast<std::uint32_t>(width_));
  Put32(hdrl, static_cast<std::uint32_t>(height_));
  for (int i = 0; i < 4; ++i) Put32(hdrl, 0);
  PutTag(hdrl, "LIST");
  Put32(hdrl, static_cast<std::uint32_t>(4 + strl.size()));
  PutTag(hdrl, "strl");
  hdrl.insert(hdrl.end(), strl.begin(), strl.end());

  std::vector<std::uint8_t> head;
  PutTag(head, "RIFF");
  Put32(head, 0);  // patched by Close
  PutTag(head, "AVI ");
  PutTag(head, "LIST");
  Put32(head, static_cast<std::uint32_t>(4 + hdrl.size()));
  PutTag(head, "hdrl");
  head.insert(head.end(), hdrl.begin(), hdrl.end());
  PutTag(head, "LIST");
  Put32(head, 4 + frames_ * (8 + frameBytes_));
  PutTag(head, "movi");
  std::fseek(file_, 0, SEEK_SET);
  ok_ = ok_ && std::fwrite(head.data(), 1, head.size(), file_) == head.size();
  moviStart_ = static_cast<long>(head.size()) - 4;  // offsets in idx1 count from the 'movi' tag
}

bool AviWriter::AddFrame(const std::uint8_t* pixels) {
  if (file_ == nullptr) return false;
  std::fseek(file_, 0, SEEK_END);
  offsets_.push_back(static_cast<std::uint32_t>(std::ftell(file_) - moviStart_));
  std::vector<std::uint8_t> chunk;
  PutTag(chunk, "00db");
  Put32(chunk, frameBytes_);
  ok_ = ok_ && std::fwrite(chunk.data(), 1, chunk.size(), file_) == chunk.size();
  ok_ = ok_ && std::fwrite(pixels, 1, frameBytes_, file_) == frameBytes_;
  ++frames_;
  return ok_;
}

bool AviWriter::Close() {
  if (file_ == nullptr) return false;
  std::fseek(file_, 0, SEEK_END);
  std::vector<std::uint8_t> index;
  PutTag(index, "idx1");
  Put32(index, static_cast<std::uint32_t>(16 * offsets_.size()));
  for (std::uint32_t offset : offsets_) {
    PutTag(index, "00db");
    Put32(index, 0x10);  // key frame
    Put32(index, offset);
    Put32(index, frameBytes_);
  }
  ok_ = ok_ && std::fwrite(index.data(), 1, index.size(), file_) == index.size();
  const long end = std::ftell(file_);
  PutHeaders();  // final frame counts
  std::fseek(file_, 4, SEEK_SET);
  std::vector<std::uint8_t> size;
  Put32(size, static_cast<std::uint32_t>(end - 8));
  ok_ = ok_ && std::fwrite(size.data(), 1, 4, file_) == 4;
  ok_ = std::fclose(file_) == 0 && ok_;
  file_ = nullptr;
  return ok_;
}

}  // namespace ovl::tools
