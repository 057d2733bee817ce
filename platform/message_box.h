#pragma once
// Every message the program shows in a box goes through ShowMessage. The GUI installs a sink
// that shows a box, the CLI one that prints "CAPTION: TEXT", and every message is recorded so
// that tests and the CLI's JSON can read them back.
#include <string>
#include <vector>

namespace qvtk {

struct Message {
    std::string caption;
    std::string text;
};

using MessageSink = void (*)(const std::string& text, const std::string& caption);

void ShowMessage(const std::string& text, const std::string& caption);
void SetMessageSink(MessageSink sink);
const std::vector<Message>& RecordedMessages();
void ClearRecordedMessages();

} // namespace qvtk
