#pragma once
// HtmlHelpA, taken from the HTML Help control on first use. Systems without
// the control show no HTML Help and the caller carries on as if it had.
namespace ovl::ui {

// Shows `topic` ("file.chm::/page.htm") in the HTML Help viewer owned by the
// desktop. Returns false when the control cannot be loaded (remembered for
// the life of the process) or the viewer refuses the topic.
bool DisplayHtmlHelpTopic(const char* topic);

}  // namespace ovl::ui
