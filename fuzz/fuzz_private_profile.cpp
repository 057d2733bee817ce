// The private-profile functions (Sector.ini, gps_p.ini, status.ini, the settings save) on any
// file text, with what they promise as oracles: a written key reads back, every byte outside
// the one line it touches stays, writing what is there already changes nothing, and a deleted
// key is gone.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_support.h"
#include "platform/file_read.h"
#include "platform/private_profile.h"

namespace {

std::string FileText(const std::string& path) {
    std::string text;
    qvtk::ReadWholeTextFile(path, text);
    return text;
}

// Apart from one region inside a single line (a replaced value) or an insertion, the texts
// are the same bytes.
bool OnlyOneLineDiffers(const std::string& before, const std::string& after) {
    size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string_view removed =
        std::string_view(before).substr(prefix, before.size() - prefix - suffix);
    return removed.find('\n') == std::string_view::npos;
}

// "\n" is a default no value can be (a value has no line break).
// A value that reads back as written: nothing the reader trims or unquotes.
bool ReadsBackAsWritten(std::string_view v) {
    if (v.empty()) return true;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    if (blank(v.front()) || blank(v.back())) return false;
    return !(v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(48);
    const std::string original = in.ConsumeRemainingBytesAsString();
    const std::string path = qvtk::fuzz::HarnessFolder() + "/profile.ini";
    qvtk::fuzz::WriteFixture(path, original);

    // Reading never fails on any text.
    qvtk::ProfileGetInt(section, key, 7, path);
    for (const auto& [k, v] : qvtk::ProfileReadSection(section, path))
        QVTK_FUZZ_CHECK(k.empty() || qvtk::ProfileGetString(section, k, "\n", path) == v);

    if (!qvtk::ProfileWriteString(section, key, value, path)) {
        QVTK_FUZZ_CHECK(FileText(path) == original); // a refused write leaves the file alone
        return 0;
    }
    const std::string written = FileText(path);
    QVTK_FUZZ_CHECK(OnlyOneLineDiffers(original, written));
    const std::string back = qvtk::ProfileGetString(section, key, "\n", path);
    QVTK_FUZZ_CHECK(back != "\n");
    if (ReadsBackAsWritten(value)) QVTK_FUZZ_CHECK(back == value);

    QVTK_FUZZ_CHECK(qvtk::ProfileWriteString(section, key, value, path));
    QVTK_FUZZ_CHECK(FileText(path) == written);

    QVTK_FUZZ_CHECK(qvtk::ProfileDeleteKey(section, key, path));
    QVTK_FUZZ_CHECK(qvtk::ProfileGetString(section, key, "\n", path) == "\n");
    return 0;
}
