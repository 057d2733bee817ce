#include "platform/message_box.h"

namespace qvtk {

namespace {
MessageSink g_sink = nullptr;
std::vector<Message> g_recorded;
constexpr size_t kMaxRecorded = 1000; // a corrupt file must not grow this without bound
} // namespace

void ShowMessage(const std::string& text, const std::string& caption) {
    if (g_recorded.size() < kMaxRecorded) g_recorded.push_back({caption, text});
    if (g_sink) g_sink(text, caption);
}

void SetMessageSink(MessageSink sink) { g_sink = sink; }
const std::vector<Message>& RecordedMessages() { return g_recorded; }
void ClearRecordedMessages() { g_recorded.clear(); }

} // namespace qvtk
