#pragma once
// Private-profile (INI) files with the semantics the course, sector and GPS line files and the
// settings save rely on: sections and keys found without regard to case, the first of two
// equal keys wins, CR LF line ends, and everything not written left exactly as it was.
// Every write replaces the whole file safely (temporary file, flush, rename).
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvtk {

// Lines are found as the Windows profile functions find them: a section runs from its "[name]"
// line to the next one; "key=value" lines, with blanks around key and value ignored; lines
// starting with ';' and lines without '=' are kept but never match. Names match without regard
// to ASCII case, and where a section or a key appears twice the first one is used. Files may
// have LF or CR LF line ends, a UTF-8 BOM and no final line end.

// The value of section/key, or the default when the file, section or key is missing (a key
// with an empty value gives ""). Blanks around the value are dropped, and one pair of
// surrounding double or single quotes.
std::string ProfileGetString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, const std::string& path);

// Every key of the section with its value as ProfileGetString reads it, in file order; a key
// repeated later in the section is left out. Empty when the file or section is missing.
std::vector<std::pair<std::string, std::string>> ProfileReadSection(std::string_view section,
                                                                    const std::string& path);

// The value as a decimal integer (optional sign, then digits; reading stops at the first
// other character, no digits give 0, values beyond int saturate), or the default when the
// key is missing.
int ProfileGetInt(std::string_view section, std::string_view key, int defaultValue,
                  const std::string& path);

// Writes key=value into the section: the first line of the key is replaced where it stands,
// otherwise the line goes after the section's last non-blank line; a missing section is
// appended at the end, a missing file created. New lines end in CR LF; every other byte of the
// file stays as it was. False when the file cannot be read or written, or when the section,
// key or value cannot be stored (a line break, a key with '=', an empty name).
bool ProfileWriteString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);

// Removes every line of the key in the section. A missing file, section or key is no error
// and the file is left untouched.
bool ProfileDeleteKey(std::string_view section, std::string_view key, const std::string& path);

// Removes the section header and all lines up to the next section, for every occurrence of the
// section. A missing file or section is no error and the file is left untouched.
bool ProfileDeleteSection(std::string_view section, const std::string& path);

// One edit of a batch, with the meaning of the single-key function of the same name.
struct ProfileEdit {
    enum Kind { kWriteString, kDeleteKey, kDeleteSection };
    Kind kind;
    std::string section;
    std::string key;   // unused by kDeleteSection
    std::string value; // kWriteString only
};

// Applies the edits in order to the file's text in memory, each exactly as ProfileWriteString,
// ProfileDeleteKey or ProfileDeleteSection would apply it to the file, and writes the result
// once with WriteWholeFile (not at all when nothing changed). A write that cannot be stored is
// skipped and the others still go through; the result is false then, or when the file cannot
// be read or written (a file that cannot be read is left untouched).
bool ProfileWriteBatch(const std::string& path, const std::vector<ProfileEdit>& edits);

} // namespace qvtk
