// Changes to the text of a Wine registry file that leave every other line as
// it stands: a value line replaced or added in its key's section, a section
// appended at the end (wineserver sorts keys and values when it loads the
// file). Lines are found the way the reader reads them, continuation lines
// of hex data included.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

// Where a key's lines are in a file, as the reader sees them.
struct WineSectionSpot {
  bool keyFound = false;       // the key has a section of its own
  std::size_t sectionEnd = 0;  // after the last line of its last section that is not blank
  bool valueFound = false;
  // The lines of the value's last occurrence in the key's sections, the one
  // the reader keeps.
  std::size_t valueBegin = 0;
  std::size_t valueEnd = 0;
};

// Looks for the sections of the key at the given path of folded names below
// the branch root, and in them for the value of the given name (any case).
WineSectionSpot FindWineSection(std::string_view text, std::span<const std::u16string> folded,
                                std::u16string_view valueName);

// Sets the value's line: replaces the value's last occurrence, else adds the
// line at the end of the key's last section, else appends a new section made
// of header and line. Both end in a line break.
void PutWineValueLine(std::string& text, std::span<const std::u16string> folded,
                      std::u16string_view valueName, std::string_view line,
                      std::string_view header);

// Appends a blank line and the section, ending the last line first if needed.
void AppendWineSection(std::string& text, std::string_view section);

}  // namespace tarnwick
