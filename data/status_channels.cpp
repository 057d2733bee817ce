#include "data/status_channels.h"

#include <cstdio>
#include <cstdlib>

#include "platform/message_box.h"
#include "platform/private_profile.h"

namespace qvtk {

StatusChannelTable g_statusChannels;

namespace {

bool IsStatusCode(ChannelCode code) { return code >= kCodeStatusFirst && code <= kCodeStatusLast; }

std::string StatusFilePath() {
    const std::string& dir = g_session.programDirectory;
    return dir.empty() ? "status.ini" : dir + "/status.ini";
}

} // namespace

void ReadStatusTexts(FileSlot slot) {
    g_statusChannels.channels.clear();
    const Slot& s = SlotOf(slot);
    const std::string path = StatusFilePath();
    for (int c = 0; c < kColumnCount; ++c) {
        if (!IsPresent(s, c) || !IsStatusCode(s.channels[c].code)) continue;
        StatusChannel channel;
        channel.column = c;
        const std::string& section = s.channels[c].name;
        channel.warning = ProfileGetInt(section, "warning", 0, path);
        // One read of the section gives all the texts, under the keys "D0" to "D254".
        for (const auto& [key, value] : ProfileReadSection(section, path)) {
            if (key.size() < 2 || (key[0] != 'D' && key[0] != 'd')) continue;
            const int code = std::atoi(key.c_str() + 1);
            if (code >= 0 && code < kFailCodeTexts && key.substr(1) == std::to_string(code))
                channel.text[code] = value.substr(0, kFailTextChars);
        }
        g_statusChannels.channels.push_back(std::move(channel));
    }
}

void ReportFailCodes(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    for (const StatusChannel& channel : g_statusChannels.channels) {
        const int c = channel.column;
        if (channel.warning != 1 || !IsPresent(s, c)) continue;
        if (s.range.max[c] == 0 && s.range.min[c] == 0) continue;
        const int code = s.range.max[c] / 1000 % 256;
        const std::string& text = code >= 0 && code < kFailCodeTexts ? channel.text[code] : "";
        char message[160];
        std::snprintf(message, sizeof message, "CH%d Fail code was found. Fail code\n\n  no.%d - %s",
                      c, code, text.c_str());
        ShowMessage(message, "Warning!");
    }
}

} // namespace qvtk
