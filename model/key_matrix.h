// What the main window's keyboard picture shows and changes, as data: which layer entry each of
// its buttons stands for, the tooltip text of an entry, and the Default command's clearing of the
// entries behind the picture. The picture itself (buttons, faces, the flip blocks) is ui/main;
// the rules live here so they are the same for every front end and tested without a display.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "model/key_table.h"
#include "model/macro_record.h"
#include "model/profile_config.h"
#include "platform/text_source.h"

namespace orvane {

// Tooltips and key names are built in buffers of this many characters (terminator included).
inline constexpr size_t kKeyTooltipCapacity = 260;

// Entries behind the picture: G1-G9 of set A and the entries of the 104 key buttons.
inline constexpr int kMatrixEntryCount = kGKeyCount + kKeyButtonCount;  // 113

// F1 to F4, whose place in the picture the flip keys D1 to D6 take when the Flip setting is on.
inline constexpr std::array<uint16_t, 4> kFlipBlockKeyCodes = {0x03B, 0x03C, 0x03D, 0x03E};
// Keys the picture draws after a neighbour that overlaps them: F5 after the flip block, "]}"
// after Enter.
inline constexpr uint16_t kKeyCodeF5 = 0x03F;
inline constexpr uint16_t kKeyCodeEnter = 0x01C;
inline constexpr uint16_t kKeyCodeRightBracket = 0x01B;

// The layer entry a button of the picture edits: 256 + j for the G button at position j, the key
// index of a key button's code; -1 for any other control.
int MatrixEntryOfButton(int control_id);

// The tooltip of a button whose base text is base ("G3", a key's name) for its entry: the base
// alone for a default entry; otherwise the base, "KEY_PROMPT_SET" and, for the kinds that name
// something, their prompt, that name and ")". A macro ID missing from macros names nothing; a
// Media or Function value outside its table names nothing either. Cut to the tooltip buffer.
std::string KeyTooltipText(const ITextSource& texts, const std::string& base, const KeyAction& entry,
                           std::span<const MacroRecord> macros);

// "G%d" for G key n (1-9).
std::string GKeyBaseText(int n);

// The Default command's clear: all 16 bytes of the 113 entries behind the picture in layer
// (0-3) become zero - the G entries lose their G-key code as well; every other entry stays.
// An out-of-range layer changes nothing; returns whether it cleared.
bool ClearMatrixEntries(ProfileImage& image, int layer);

}  // namespace orvane
