// Profile files (.orv) in JSON form, both ways, without loss: a file the program wrote comes back
// from its JSON byte for byte, so profiles can be diffed, edited and kept in version control.
//
// The JSON form names what the binary form numbers: entry types by name, key codes as "0x01E",
// macro actions as {"key", "direction", "delay"}, texts of program and text-block keys as
// strings. Only entries that are not all zero are listed. Whatever the readable form cannot say
// exactly (a damaged macro record, a text pool the program would not have packed that way,
// bytes after the declared end) travels as hex, so even such files survive the round trip.
// docs/cli.md documents the form.
//
// Reading JSON is strict: an unknown member, a missing one, a wrong type or a value out of range
// is an error that names the member, e.g. "macros[1].actions[4].delay: 70000 is out of range".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli/json.h"

namespace orvane {

inline constexpr const char* kProfileJsonFormat = "orvane-profile";
inline constexpr int kProfileJsonVersion = 1;

// A profile file's bytes as JSON. False with *error when the bytes are not a well-formed profile
// file (a header the program would not write for its own counts, or parts missing).
bool ProfileToJson(std::span<const uint8_t> file, JsonValue* out, std::string* error);

// The profile file a JSON form describes. False with *error naming the member at fault.
bool ProfileFromJson(const JsonValue& json, std::vector<uint8_t>* file, std::string* error);

// Entry types are written by name (KeyActionTypeName, model/profile_config.h); key codes and other
// 16-bit codes as HexText with kJsonCodeDigits digits at least ("0x01E", platform/format.h).
inline constexpr int kJsonCodeDigits = 3;

// The JSON form's shape for ParseJson: parsing then stops as soon as the text passes the form's
// own limits (4 layers of at most 512 entries, 100 macros of at most 2,000 actions, names of 249
// characters, members the form does not have), so a hostile file costs no more than a valid one.
const JsonShape& ProfileJsonShape();

}  // namespace orvane
