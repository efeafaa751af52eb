#pragma once
// Message boxes the filter shows by itself (a failed output reconnection).
// Tests and hosts without a desktop can take the messages instead.
namespace ovl {

using MessageSink = void (*)(const char* text, const char* caption);

// Shows a task-modal box, or hands the message to the installed sink.
void ShowFilterMessage(const char* text, const char* caption);
// Installs a sink (null restores the message box); returns the previous one.
MessageSink SetFilterMessageSink(MessageSink sink);

}  // namespace ovl
