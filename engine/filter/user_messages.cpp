#include "engine/filter/user_messages.h"

#include <windows.h>

namespace ovl {
namespace {
MessageSink volatile g_sink = nullptr;
}  // namespace

void ShowFilterMessage(const char* text, const char* caption) {
  if (MessageSink sink = g_sink) {
    sink(text, caption);
    return;
  }
  MessageBoxA(nullptr, text, caption, MB_TASKMODAL | MB_OK);
}

MessageSink SetFilterMessageSink(MessageSink sink) {
  MessageSink previous = g_sink;
  g_sink = sink;
  return previous;
}

}  // namespace ovl
