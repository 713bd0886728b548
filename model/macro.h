// Macro rules: creating and naming macros, the macro area (the form in which all macros are
// written to the keyboard's macro memory and read back), and keeping key assignments consistent
// with the macro list when an editor applies.
//
// Locks: functions that take a ProfileInstance take that instance's lock themselves; the ones
// that read the editing instance (MacroIdAtPosition, IsMacroAssigned, ConfirmMacroDelete,
// ReconcileMacroAssignments) must be given the editing instance, the encoder the applied one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/macro_record.h"
#include "model/profile_config.h"
#include "platform/prompt.h"
#include "platform/text_source.h"

namespace orvane {

// A record with all bytes zero, then the name (cut to 249 characters), cycles 1, isNew 1 and the
// lowest id the list does not use.
MacroRecord NewMacro(std::u16string_view name, std::span<const MacroRecord> list);
// Lowest id 1 to 100 no record of the list has; 0 when all are taken.
uint16_t NextFreeMacroId(std::span<const MacroRecord> list);

// Generates the name of a new macro: "MACRO_NEW_PREFIX" followed by the run-wide counter (which is
// first set back to 0 when the list is empty). While some name in the list begins with the
// candidate (letter case ignored) it waits 16 ms through `wait` and tries the next number.
std::u16string GenerateMacroName(int& counter, std::span<const MacroRecord> list,
                                 const ITextSource& texts,
                                 const std::function<void(uint32_t ms)>& wait);
// The same, sleeping for real.
std::u16string GenerateMacroName(int& counter, std::span<const MacroRecord> list,
                                 const ITextSource& texts);
// The same over the names of a list.
std::u16string GenerateMacroNameAmong(int& counter, std::span<const std::u16string> names,
                                      const ITextSource& texts,
                                      const std::function<void(uint32_t ms)>& wait);
// Whether name begins with prefix, letter case ignored (ASCII, Latin-1, Cyrillic).
bool NameBeginsWith(std::u16string_view name, std::u16string_view prefix);

// Limits of typed values. A typed pause above 40,000 becomes 40,000 (over_limit tells the caller
// to show "MACRO_ACTION_ERR_DELAY_MAX"), then is rounded down to a multiple of 10. Cycles are
// clamped to 1-255.
uint32_t NormalizeTypedDelay(int64_t typed, bool* over_limit);
uint8_t ClampCycles(int64_t typed);

// The number a text field starts with, read as a decimal: leading blanks, an optional sign, then
// digits (a huge number saturates). Nullopt when the text does not start with a number.
std::optional<int64_t> LeadingNumber(std::string_view text);
// A pause typed into an action's cell: the number (an empty cell is 0) through NormalizeTypedDelay.
uint32_t TypedDelayOfText(std::string_view text, bool* over_limit);
// The repeat count a repeat field holds: its number clamped to 1-255; text that does not start
// with a number reads as 1.
uint8_t CyclesOfText(std::string_view text);
// What a repeat field must show instead of the typed text: "1" below 1, "255" above 255; nullopt
// when the text may stay (a number in range, or text without a number, which the user may still
// be replacing).
std::optional<std::string> CyclesFieldCorrection(std::string_view text);

// ---- Macro area ----

inline constexpr uint16_t kMacroAreaMagic = 0x55AA;
inline constexpr size_t kMacroAreaHeaderSize = 16;

struct MacroAreaSize {
  size_t withNames = 0;
  size_t withoutNames = 0;
};
MacroAreaSize MacroAreaSizes(std::span<const MacroRecord> macros);
// Over an instance's array, under its lock.
MacroAreaSize MacroAreaSizes(const ProfileInstance& instance);

// How an area of these sizes goes into a macro memory of `capacity` bytes: with names when they
// fit, without names when only that fits ("EXTRA_PROFILE_SPACE_TIGHT"), not at all otherwise
// ("EXTRA_MACRO_TOO_LONG", nothing is written). The configuration write decides by this.
enum class MacroAreaFit { WithNames, WithoutNames, TooLong };
MacroAreaFit FitMacroArea(const MacroAreaSize& sizes, size_t capacity);

// How much of the keyboard's macro memory a macro list takes: the bytes a write would send (with
// names when they fit, else without), the capacity, and the fit.
struct MacroMemoryUse {
  size_t used = 0;
  size_t available = 0;
  MacroAreaFit fit = MacroAreaFit::TooLong;
  MacroAreaSize sizes;
};
MacroMemoryUse MacroMemoryUseOf(std::span<const MacroRecord> macros, size_t capacity);

// One action in the area's form: word 0 = delay / 10 (12 bits, capped at 4,095), kind (bits
// 12-14), press (bit 15); word 1 = b1 | b2 << 8 of the key's three-byte device form.
struct EncodedMacroAction {
  uint16_t word0 = 0;
  uint16_t word1 = 0;
  bool operator==(const EncodedMacroAction&) const = default;
};
// The three-byte device form (kind, b1, b2) of a key code as macro actions carry it.
struct DeviceKeyForm {
  uint8_t kind = 0;
  uint8_t b1 = 0;
  uint8_t b2 = 0;
  bool operator==(const DeviceKeyForm&) const = default;
};
DeviceKeyForm MacroKeyFormOf(uint16_t key_code);
EncodedMacroAction EncodeMacroAction(const MacroAction& action);
MacroAction DecodeMacroAction(EncodedMacroAction encoded);

// The area for the array, exactly area_size bytes long (the size the caller chose from
// MacroAreaSizes). With a smaller size, whatever does not fit is left out rather than written
// past the end. Actions beyond 2,000 in a record are never encoded.
std::vector<uint8_t> EncodeMacroArea(std::span<const MacroRecord> macros, size_t area_size,
                                     bool with_names);
// Over an instance's array (the applied one), under its lock.
std::vector<uint8_t> EncodeMacroArea(const ProfileInstance& instance, size_t area_size,
                                     bool with_names);

// The records of an area read from the keyboard: id = position + 1, isNew 0, playMode 0, names
// generated from "MACRO_NEW_PREFIX" where the area has none. Bytes that are not an area (too
// short for the header, or no 0x55AA) give no macros. Damaged areas are read only as far as they
// go: at most 100 macros are taken; a macro whose block lies outside the bytes becomes an empty
// macro (cycles 1, no actions, generated name) so that later macros keep their positions; a
// block's actions are cut to 2,000 and to the whole actions inside the bytes, its name to the
// characters inside the bytes (and to 249).
std::vector<MacroRecord> DecodeMacroArea(std::span<const uint8_t> area, const ITextSource& texts);

// ---- Macros and key assignments ----

// id of the macro at a position of the editing array (under its lock); 0 when out of range.
uint16_t MacroIdAtPosition(const ProfileInstance& editing, int position);
// Whether any entry of the four layers plays the macro with this id (under the editing lock).
bool IsMacroAssigned(const ProfileInstance& editing, uint16_t id);
// Whether a macro may be deleted: new macros always; others, when keys play them, only after the
// user answered Yes to "MACRO_DELETE_CONFIRM_OF_KEYS".
bool ConfirmMacroDelete(const MacroRecord& record, const ProfileInstance& editing,
                        const ITextSource& texts, IPrompt& prompt);
// Run by an editor's apply: points PlayMacro entries of value 0 at the list's first macro,
// resets entries whose macro is gone (or whose id now belongs to a new macro) to Default, then
// clears isNew and makes the list the editing instance's macro array. Returns true when an entry
// changed, i.e. the main window's apply-pending flag must be set.
bool ReconcileMacroAssignments(ProfileInstance& editing, std::vector<MacroRecord> list);
// Frees an instance's macro array (under its lock).
void FreeMacroArray(ProfileInstance& instance);

}  // namespace orvane
