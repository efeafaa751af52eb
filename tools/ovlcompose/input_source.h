#pragma once
// One input of the composing graph: a video file of any format the platform
// can decode, connected to one of the filter's input pins.
#include <windows.h>
#include <dshow.h>

#include <string>

namespace ovlcompose {

// Adds a source for `path` to `graph` and connects its video to `target`
// through the graph builder, which inserts whatever splitter, decoder and
// converter the platform has. An AVI file goes through the AVI Splitter
// first (an uncompressed one then connects directly); any other file, or an
// AVI the splitter cannot feed to the pin, through the source the graph
// builder picks for it. Streams other than the video (audio) stay
// unconnected. On failure the filters added are removed again and `error`
// says, for `role` ("main video"), which file failed, what the graph builder
// answered and what to install.
HRESULT ConnectVideoFile(IGraphBuilder* graph, const std::wstring& path, const std::string& role,
                         IPin* target, std::string& error);

}  // namespace ovlcompose
