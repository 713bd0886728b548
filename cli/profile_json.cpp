// Profile files <-> JSON.
#include "cli/profile_json.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>

#include "model/key_table.h"
#include "model/macro_record.h"
#include "model/profile_config.h"
#include "model/profile_file.h"
#include "platform/format.h"

namespace orvane {
namespace {

constexpr size_t kMacroBase = kProfileImageSize;

std::string Hex(std::span<const uint8_t> bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    s.push_back(digits[b >> 4]);
    s.push_back(digits[b & 15]);
  }
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unhex(const std::string& s, std::vector<uint8_t>* out) {
  if (s.size() % 2) return false;
  out->assign(s.size() / 2, 0);
  for (size_t i = 0; i < out->size(); ++i) {
    const int hi = HexDigit(s[2 * i]);
    const int lo = HexDigit(s[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    (*out)[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

// The header the program writes for these counts, with the free fields as given.
ProfileHeader CanonicalHeader(uint16_t macro_count, uint32_t text_size, uint8_t flag,
                              const ProfileHeader& free_fields) {
  ProfileImage image;
  WriteProfileHeader(image, macro_count, text_size, flag);
  image.header.reserved1 = free_fields.reserved1;
  image.header.reserved2 = free_fields.reserved2;
  image.header.reserved3 = free_fields.reserved3;
  image.header.checksum = HeaderChecksum(image.header);
  return image.header;
}

const char* HeaderCheckName(HeaderCheck check) {
  switch (check) {
    case HeaderCheck::kOk: return "header";
    case HeaderCheck::kMagic: return "magic";
    case HeaderCheck::kHeaderSize: return "header size";
    case HeaderCheck::kVersion: return "version";
    case HeaderCheck::kConstant: return "constant field at offset 6";
    case HeaderCheck::kTotalSize: return "total file size";
    case HeaderCheck::kTextSlotCount: return "text slot count";
    case HeaderCheck::kMacroCount: return "macro count (above 100)";
    case HeaderCheck::kFlag: return "flag (above 1)";
    case HeaderCheck::kChecksum: return "checksum";
  }
  return "header";
}

// ---- JSON -> bytes helpers: every failure names the member ----

struct Reader {
  std::string* error;

  bool Fail(const std::string& path, const std::string& why) {
    if (error) *error = path + ": " + why;
    return false;
  }

  // An integer given as a JSON integer or as a "0x..." hex string, within [lo, hi].
  bool Int(const JsonValue& v, const std::string& path, int64_t lo, int64_t hi, int64_t* out) {
    int64_t x = 0;
    if (v.IsInteger()) {
      x = v.AsInt();
    } else if (v.IsString()) {
      const std::string& s = v.AsString();
      if (s.size() < 3 || s.size() > 18 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X'))
        return Fail(path, "expected a number or a \"0x...\" hex string, got \"" + s + "\"");
      uint64_t u = 0;
      for (size_t i = 2; i < s.size(); ++i) {
        const int d = HexDigit(s[i]);
        if (d < 0) return Fail(path, "invalid hex number \"" + s + "\"");
        u = u * 16 + static_cast<uint64_t>(d);
      }
      if (u > static_cast<uint64_t>(INT64_MAX)) return Fail(path, s + " is out of range");
      x = static_cast<int64_t>(u);
    } else {
      return Fail(path, "expected an integer");
    }
    if (x < lo || x > hi)
      return Fail(path, std::to_string(x) + " is out of range " + std::to_string(lo) + ".." +
                            std::to_string(hi));
    *out = x;
    return true;
  }

  bool String(const JsonValue& v, const std::string& path, std::string* out) {
    if (!v.IsString()) return Fail(path, "expected a string");
    *out = v.AsString();
    return true;
  }

  bool HexBytes(const JsonValue& v, const std::string& path, std::vector<uint8_t>* out) {
    if (!v.IsString()) return Fail(path, "expected a hex string");
    if (!Unhex(v.AsString(), out)) return Fail(path, "not an even number of hex digits");
    return true;
  }

  // Rejects members other than the allowed ones.
  bool OnlyMembers(const JsonValue& obj, const std::string& path,
                   std::initializer_list<const char*> allowed) {
    for (const auto& [key, value] : obj.Members()) {
      bool ok = false;
      for (const char* a : allowed) ok = ok || key == a;
      if (!ok) return Fail(path.empty() ? key : path + "." + key, "unknown member");
    }
    return true;
  }

  const JsonValue* Required(const JsonValue& obj, const std::string& path, const char* key) {
    const JsonValue* v = obj.Find(key);
    if (!v) Fail(path.empty() ? key : path + "." + key, "missing");
    return v;
  }
};

std::string Member(const std::string& path, const char* key) {
  return path.empty() ? key : path + "." + key;
}

// Whether a value is one that an entry type given by name allows: a media index 0-17, a
// keyboard function 0-10, a key that exists, a macro of the file. Types given as numbers carry
// any value (that is how files the readable form cannot check travel). *why names the fault.
bool ValueFitsType(uint16_t type, uint32_t value, const std::set<uint32_t>& macro_ids,
                   std::string* why) {
  switch (type) {
    case kActionSingleKey:
      if (IsKeyCode(value)) return true;
      *why = HexText(value, kJsonCodeDigits) + " is not a key code";
      return false;
    case kActionPlayMacro:
      if (macro_ids.count(value)) return true;
      *why = "no macro of the file has id " + std::to_string(value);
      return false;
    case kActionMedia:
      if (value < uint32_t(kMediaFunctionCount)) return true;
      *why = std::to_string(value) + " is out of range 0.." + std::to_string(kMediaFunctionCount - 1);
      return false;
    case kActionFunction:
      if (value < uint32_t(kKeyboardFunctionCount)) return true;
      *why = std::to_string(value) + " is out of range 0.." + std::to_string(kKeyboardFunctionCount - 1);
      return false;
    default:
      return true;
  }
}

// The id of a macro as its JSON gives it (also of a raw record), or nothing when it gives none.
std::optional<uint32_t> MacroIdOfJson(const JsonValue& v) {
  if (const JsonValue* raw = v.Find("raw")) {
    std::vector<uint8_t> bytes;
    if (!raw->IsString() || !Unhex(raw->AsString(), &bytes) || bytes.size() != kMacroRecordSize)
      return std::nullopt;
    MacroRecord m;
    MacroRecordFromBytes(bytes, m);
    return m.id;
  }
  const JsonValue* id = v.Find("id");
  if (!id) return std::nullopt;
  int64_t x = 0;
  std::string ignored;
  Reader r{&ignored};
  if (!r.Int(*id, "", 0, 0xFFFF, &x)) return std::nullopt;
  return uint32_t(x);
}

// ---- bytes -> JSON ----

JsonValue EntryToJson(int index, const KeyAction& e, const TextPool* texts, int slot,
                      const std::set<uint32_t>& macro_ids) {
  JsonValue o = JsonValue::Object();
  if (index < kKeyTableSize) {
    o.Set("key", HexText(KeyCodeOf(index), kJsonCodeDigits));
  } else if (index < kGKeyEntriesEnd) {
    const int n = index - kGKeySetA;
    o.Set("gkey", std::string(n < 9 ? "A" : "B") + std::to_string(n % 9 + 1));
  } else {
    o.Set("index", index);
  }
  std::string ignored;
  const char* name = KeyActionTypeName(e.type);
  if (name && ValueFitsType(e.type, e.value, macro_ids, &ignored)) o.Set("type", name);
  else o.Set("type", static_cast<int>(e.type));
  if (e.code) o.Set("code", HexText(e.code, kJsonCodeDigits));
  const std::u16string* text = (texts && HasText(e.type)) ? texts->Text(slot) : nullptr;
  if (text) {
    o.Set("text", Utf16ToUtf8(*text));
  } else if (e.value) {
    if (e.type == kActionSingleKey) o.Set("value", HexText(e.value, kJsonCodeDigits));
    else o.Set("value", static_cast<int64_t>(e.value));
  }
  if (e.reserved1 || e.reserved2) {
    JsonValue r = JsonValue::Array();
    r.Push(static_cast<int64_t>(e.reserved1));
    r.Push(static_cast<int64_t>(e.reserved2));
    o.Set("reserved", std::move(r));
  }
  return o;
}

JsonValue MacroToJson(const MacroRecord& m) {
  JsonValue o = JsonValue::Object();
  o.Set("id", static_cast<int>(m.id));
  o.Set("name", MacroNameUtf8(m));
  o.Set("cycles", static_cast<int>(m.cycles));
  if (m.isNew) o.Set("is_new", static_cast<int>(m.isNew));
  if (m.playMode) o.Set("play_mode", static_cast<int>(m.playMode));
  if (m.reserved1 || m.reserved2) {
    JsonValue r = JsonValue::Array();
    r.Push(static_cast<int>(m.reserved1));
    r.Push(static_cast<int>(m.reserved2));
    o.Set("reserved", std::move(r));
  }
  JsonValue actions = JsonValue::Array();
  for (int i = 0; i < ValidActionCount(m); ++i) {
    const MacroAction& a = m.actions[size_t(i)];
    JsonValue ja = JsonValue::Object();
    ja.Set("key", HexText(a.keyCode, kJsonCodeDigits));
    if (a.direction == kPress) ja.Set("direction", "press");
    else if (a.direction == kRelease) ja.Set("direction", "release");
    else ja.Set("direction", static_cast<int>(a.direction));
    ja.Set("delay", static_cast<int64_t>(a.delay));
    actions.Push(std::move(ja));
  }
  o.Set("actions", std::move(actions));
  return o;
}

bool MacroFromJson(Reader& r, const JsonValue& v, const std::string& path, MacroRecord* out);

// The record's structured form gives back exactly these bytes.
bool MacroIsReadable(std::span<const uint8_t> bytes, const MacroRecord& m) {
  if (m.actionCount > kMaxMacroActions) return false;
  MacroRecord back;
  std::string ignored;
  Reader r{&ignored};
  if (!MacroFromJson(r, MacroToJson(m), "", &back)) return false;
  std::vector<uint8_t> again(kMacroRecordSize);
  MacroRecordToBytes(back, std::span<uint8_t, kMacroRecordSize>(again.data(), kMacroRecordSize));
  return std::equal(again.begin(), again.end(), bytes.begin(), bytes.end());
}

// ---- JSON -> bytes ----

bool EntryIndexFromJson(Reader& r, const JsonValue& o, const std::string& path, int* index) {
  const JsonValue* key = o.Find("key");
  const JsonValue* gkey = o.Find("gkey");
  const JsonValue* idx = o.Find("index");
  if (int(key != nullptr) + int(gkey != nullptr) + int(idx != nullptr) != 1)
    return r.Fail(path, "needs exactly one of \"key\", \"gkey\" and \"index\"");
  int64_t x = 0;
  if (key) {
    if (!r.Int(*key, path + ".key", 0, 0xFFFF, &x)) return false;
    const int i = KeyIndexOf(static_cast<uint16_t>(x));
    if (i < 0 || i >= kKeyTableSize || KeyCodeOf(i) != x)
      return r.Fail(path + ".key", HexText(static_cast<uint32_t>(x), kJsonCodeDigits) + " is not a key code");
    *index = i;
    return true;
  }
  if (gkey) {
    std::string s;
    if (!r.String(*gkey, path + ".gkey", &s)) return false;
    if (s.size() != 2 || (s[0] != 'A' && s[0] != 'B') || s[1] < '1' || s[1] > '9')
      return r.Fail(path + ".gkey", "\"" + s + "\" is not a G key (\"A1\" to \"A9\", \"B1\" to \"B9\")");
    *index = (s[0] == 'A' ? kGKeySetA : kGKeySetB) + (s[1] - '1');
    return true;
  }
  if (!r.Int(*idx, path + ".index", 0, kLayerEntries - 1, &x)) return false;
  *index = static_cast<int>(x);
  return true;
}

bool TypeFromJson(Reader& r, const JsonValue& v, const std::string& path, uint16_t* type) {
  if (v.IsString()) {
    for (uint16_t t = 0; const char* name = KeyActionTypeName(t); ++t) {
      if (v.AsString() == name) {
        *type = t;
        return true;
      }
    }
    return r.Fail(path, "unknown type \"" + v.AsString() + "\"");
  }
  int64_t x = 0;
  if (!r.Int(v, path, 0, 0xFFFF, &x)) return false;
  *type = static_cast<uint16_t>(x);
  return true;
}

bool EntryFromJson(Reader& r, const JsonValue& o, const std::string& path, KeyAction* e,
                   std::u16string* text, bool* has_text, bool texts_allowed,
                   const std::set<uint32_t>& macro_ids) {
  if (!o.IsObject()) return r.Fail(path, "expected an object");
  if (!r.OnlyMembers(o, path, {"key", "gkey", "index", "type", "code", "value", "text", "reserved"}))
    return false;
  const JsonValue* type = r.Required(o, path, "type");
  if (!type || !TypeFromJson(r, *type, path + ".type", &e->type)) return false;
  int64_t x = 0;
  if (const JsonValue* v = o.Find("code")) {
    if (!r.Int(*v, path + ".code", 0, 0xFFFF, &x)) return false;
    e->code = static_cast<uint16_t>(x);
  }
  const JsonValue* value = o.Find("value");
  const JsonValue* t = o.Find("text");
  if (value && t) return r.Fail(path, "gives both \"value\" and \"text\"");
  if (value) {
    if (!r.Int(*value, path + ".value", 0, 0xFFFFFFFFLL, &x)) return false;
    e->value = static_cast<uint32_t>(x);
  }
  std::string why;
  if (type->IsString() && !t && !ValueFitsType(e->type, e->value, macro_ids, &why))
    return r.Fail(path + ".value", why);
  *has_text = false;
  if (t) {
    if (!texts_allowed)
      return r.Fail(path + ".text", "not allowed with \"text_pool\" (give \"value\" instead)");
    if (!HasText(e->type))
      return r.Fail(path + ".text", "only LaunchProgram and PlayText entries carry a text");
    std::string s;
    if (!r.String(*t, path + ".text", &s)) return false;
    if (s.find('\0') != std::string::npos)
      return r.Fail(path + ".text", "contains a zero character");
    *text = Utf8ToUtf16(s);
    *has_text = true;
  }
  if (const JsonValue* res = o.Find("reserved")) {
    if (!res->IsArray() || res->Items().size() != 2)
      return r.Fail(path + ".reserved", "expected an array of two numbers");
    if (!r.Int(res->Items()[0], path + ".reserved[0]", 0, 0xFFFFFFFFLL, &x)) return false;
    e->reserved1 = static_cast<uint32_t>(x);
    if (!r.Int(res->Items()[1], path + ".reserved[1]", 0, 0xFFFFFFFFLL, &x)) return false;
    e->reserved2 = static_cast<uint32_t>(x);
  }
  return true;
}

bool MacroFromJson(Reader& r, const JsonValue& v, const std::string& path, MacroRecord* out) {
  if (!v.IsObject()) return r.Fail(path, "expected an object");
  MacroRecord m;
  if (const JsonValue* raw = v.Find("raw")) {
    if (v.Members().size() != 1) return r.Fail(path, "\"raw\" cannot be combined with other members");
    std::vector<uint8_t> bytes;
    if (!r.HexBytes(*raw, Member(path, "raw"), &bytes)) return false;
    if (bytes.size() != kMacroRecordSize)
      return r.Fail(Member(path, "raw"), "expected " + std::to_string(kMacroRecordSize) + " bytes");
    // FromBytes terminates the name; keep the record's own last name unit as stored.
    MacroRecordFromBytes(bytes, m);
    m.name[kMacroNameChars] = static_cast<char16_t>(bytes[2 * kMacroNameChars] |
                                                    (bytes[2 * kMacroNameChars + 1] << 8));
    *out = m;
    return true;
  }
  if (!r.OnlyMembers(v, path, {"id", "name", "cycles", "is_new", "play_mode", "reserved", "actions"}))
    return false;
  int64_t x = 0;
  const JsonValue* id = r.Required(v, path, "id");
  if (!id || !r.Int(*id, Member(path, "id"), 1, kMaxMacros, &x)) return false;
  m.id = static_cast<uint16_t>(x);
  const JsonValue* name = r.Required(v, path, "name");
  std::string name_text;
  if (!name || !r.String(*name, Member(path, "name"), &name_text)) return false;
  std::u16string name16 = Utf8ToUtf16(name_text);
  if (name16.size() > size_t(kMacroNameChars))
    return r.Fail(Member(path, "name"), "longer than " + std::to_string(kMacroNameChars) +
                                            " UTF-16 characters");
  if (name16.find(u'\0') != std::u16string::npos)
    return r.Fail(Member(path, "name"), "contains a zero character");
  SetMacroName(m, std::u16string_view(name16));
  const JsonValue* cycles = r.Required(v, path, "cycles");
  if (!cycles || !r.Int(*cycles, Member(path, "cycles"), 0, 255, &x)) return false;
  m.cycles = static_cast<uint8_t>(x);
  if (const JsonValue* f = v.Find("is_new")) {
    if (!r.Int(*f, Member(path, "is_new"), 0, 0xFFFF, &x)) return false;
    m.isNew = static_cast<uint16_t>(x);
  }
  if (const JsonValue* f = v.Find("play_mode")) {
    if (!r.Int(*f, Member(path, "play_mode"), 0, 0xFFFF, &x)) return false;
    m.playMode = static_cast<uint16_t>(x);
  }
  if (const JsonValue* res = v.Find("reserved")) {
    const std::string rp = Member(path, "reserved");
    if (!res->IsArray() || res->Items().size() != 2)
      return r.Fail(rp, "expected an array of two numbers");
    if (!r.Int(res->Items()[0], rp + "[0]", 0, 0xFF, &x)) return false;
    m.reserved1 = static_cast<uint8_t>(x);
    if (!r.Int(res->Items()[1], rp + "[1]", 0, 0xFFFF, &x)) return false;
    m.reserved2 = static_cast<uint16_t>(x);
  }
  const JsonValue* actions = r.Required(v, path, "actions");
  if (!actions) return false;
  const std::string ap = Member(path, "actions");
  if (!actions->IsArray()) return r.Fail(ap, "expected an array");
  if (actions->Items().size() > size_t(kMaxMacroActions))
    return r.Fail(ap, std::to_string(actions->Items().size()) + " actions, at most " +
                          std::to_string(kMaxMacroActions));
  m.actionCount = static_cast<uint16_t>(actions->Items().size());
  for (size_t i = 0; i < actions->Items().size(); ++i) {
    const JsonValue& a = actions->Items()[i];
    const std::string p = ap + "[" + std::to_string(i) + "]";
    if (!a.IsObject()) return r.Fail(p, "expected an object");
    if (!r.OnlyMembers(a, p, {"key", "direction", "delay"})) return false;
    MacroAction& out_action = m.actions[i];
    const JsonValue* key = r.Required(a, p, "key");
    if (!key || !r.Int(*key, p + ".key", 0, 0xFFFF, &x)) return false;
    out_action.keyCode = static_cast<uint16_t>(x);
    const JsonValue* dir = r.Required(a, p, "direction");
    if (!dir) return false;
    if (dir->IsString() && dir->AsString() == "press") {
      out_action.direction = kPress;
    } else if (dir->IsString() && dir->AsString() == "release") {
      out_action.direction = kRelease;
    } else if (dir->IsString()) {
      return r.Fail(p + ".direction", "expected \"press\" or \"release\", got \"" +
                                          dir->AsString() + "\"");
    } else {
      if (!r.Int(*dir, p + ".direction", 0, 0xFFFF, &x)) return false;
      out_action.direction = static_cast<uint16_t>(x);
    }
    const JsonValue* delay = r.Required(a, p, "delay");
    if (!delay || !r.Int(*delay, p + ".delay", 0, 0xFFFFFFFFLL, &x)) return false;
    out_action.delay = static_cast<uint32_t>(x);
  }
  *out = m;
  return true;
}

}  // namespace

const JsonShape& ProfileJsonShape() {
  static const JsonShape shape = [] {
    static const JsonShape value{.max_items = 0};
    static const JsonShape pair{.max_items = 2, .items = &value};
    static const JsonShape triple{.max_items = 3, .items = &value};
    static const JsonShape entry{
        .max_items = 8,
        .noun = "members",
        .members = {{"key", &value}, {"gkey", &value}, {"index", &value}, {"type", &value},
                    {"code", &value}, {"value", &value}, {"text", &value}, {"reserved", &pair}},
        .closed = true};
    static const JsonShape layer{.max_items = size_t(kLayerEntries), .noun = "entries", .items = &entry};
    static const JsonShape layers{.max_items = size_t(kLayerCount), .noun = "layers", .items = &layer};
    static const JsonShape action{
        .max_items = 3,
        .noun = "members",
        .members = {{"key", &value}, {"direction", &value}, {"delay", &value}},
        .closed = true};
    static const JsonShape actions{
        .max_items = size_t(kMaxMacroActions), .noun = "actions", .items = &action};
    static const JsonShape name{.max_items = 0, .max_string_chars = size_t(kMacroNameChars)};
    static const JsonShape macro{
        .max_items = 8,
        .noun = "members",
        .members = {{"id", &value}, {"name", &name}, {"cycles", &value}, {"is_new", &value},
                    {"play_mode", &value}, {"reserved", &pair}, {"actions", &actions},
                    {"raw", &value}},
        .closed = true};
    static const JsonShape macros{.max_items = size_t(kMaxMacros), .noun = "macros", .items = &macro};
    return JsonShape{.max_items = 9,
                     .noun = "members",
                     .members = {{"format", &value}, {"version", &value}, {"flag", &value},
                                 {"header_reserved", &triple}, {"identity", &value},
                                 {"layers", &layers}, {"macros", &macros}, {"text_pool", &value},
                                 {"trailing", &value}},
                     .closed = true};
  }();
  return shape;
}

bool ProfileToJson(std::span<const uint8_t> file, JsonValue* out, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (file.size() < kProfileImageSize)
    return fail("the file is shorter than a profile file (" + std::to_string(file.size()) +
                " of at least " + std::to_string(kProfileImageSize) + " bytes)");
  const HeaderCheck check = CheckProfileHeader(file.first<32>());
  if (check != HeaderCheck::kOk)
    return fail(std::string("the header's ") + HeaderCheckName(check) + " is wrong");
  auto image = std::make_unique<ProfileImage>();
  ImageFromBytes(file, *image);
  const ProfileHeader& h = image->header;
  const uint64_t macro_bytes = uint64_t(h.macroCount) * kMacroRecordSize;
  const uint64_t declared = DeclaredProfileFileSize(h);
  if (declared > file.size())
    return fail("the file is shorter than its header says (" + std::to_string(file.size()) +
                " of " + std::to_string(declared) + " bytes)");
  const std::span<const uint8_t> pool = file.subspan(size_t(kMacroBase + macro_bytes), h.textSize);

  // Texts as strings when packing them again gives exactly this pool and these offsets.
  TextPool texts;
  bool readable_texts = UnpackTexts(*image, pool, texts) && texts.Total() == h.textSize;
  if (readable_texts) {
    auto again = std::make_unique<ProfileImage>(*image);
    std::vector<uint8_t> packed = PackTexts(*again, texts);
    readable_texts = std::equal(packed.begin(), packed.end(), pool.begin(), pool.end()) &&
                     again->entries == image->entries;
  }

  JsonValue root = JsonValue::Object();
  root.Set("format", kProfileJsonFormat);
  root.Set("version", kProfileJsonVersion);
  if (h.flag) root.Set("flag", static_cast<int>(h.flag));
  if (h.reserved1 || h.reserved2 || h.reserved3) {
    JsonValue r = JsonValue::Array();
    r.Push(static_cast<int64_t>(h.reserved1));
    r.Push(static_cast<int64_t>(h.reserved2));
    r.Push(static_cast<int64_t>(h.reserved3));
    root.Set("header_reserved", std::move(r));
  }
  root.Set("identity", Hex(image->identity));

  // Macros first: the keys' PlayMacro entries are judged by the ids they find. A record is
  // written readably when that form gives back its bytes and its id is not one an earlier macro
  // already has; any other record travels raw.
  JsonValue macros = JsonValue::Array();
  std::set<uint32_t> macro_ids;
  for (size_t m = 0; m < h.macroCount; ++m) {
    const auto bytes = file.subspan(kMacroBase + m * kMacroRecordSize, kMacroRecordSize);
    auto record = std::make_unique<MacroRecord>();
    MacroRecordFromBytes(bytes, *record);
    const bool new_id = macro_ids.insert(record->id).second;
    if (new_id && MacroIsReadable(bytes, *record)) {
      macros.Push(MacroToJson(*record));
    } else {
      JsonValue raw = JsonValue::Object();
      raw.Set("raw", Hex(bytes));
      macros.Push(std::move(raw));
    }
  }
  JsonValue layers = JsonValue::Array();
  for (int layer = 0; layer < kLayerCount; ++layer) {
    JsonValue entries = JsonValue::Array();
    for (int i = 0; i < kLayerEntries; ++i) {
      const KeyAction& e = *image->EntryAt(layer, i);
      if (e == KeyAction{}) continue;
      entries.Push(EntryToJson(i, e, readable_texts ? &texts : nullptr, layer * kLayerEntries + i,
                               macro_ids));
    }
    layers.Push(std::move(entries));
  }
  root.Set("layers", std::move(layers));
  root.Set("macros", std::move(macros));
  if (!readable_texts) root.Set("text_pool", Hex(pool));
  if (file.size() > declared) root.Set("trailing", Hex(file.subspan(size_t(declared))));

  // The form must give back every byte; refuse rather than hand out a lossy copy.
  std::vector<uint8_t> back;
  std::string why;
  if (!ProfileFromJson(root, &back, &why) ||
      !std::equal(back.begin(), back.end(), file.begin(), file.end()))
    return fail("the file cannot be represented in JSON without loss" +
                (why.empty() ? std::string() : " (" + why + ")"));
  *out = std::move(root);
  return true;
}

bool ProfileFromJson(const JsonValue& json, std::vector<uint8_t>* file, std::string* error) {
  Reader r{error};
  if (!json.IsObject()) return r.Fail("(top level)", "expected an object");
  if (!r.OnlyMembers(json, "", {"format", "version", "flag", "header_reserved", "identity",
                                "layers", "macros", "text_pool", "trailing"}))
    return false;
  std::string format;
  const JsonValue* f = r.Required(json, "", "format");
  if (!f || !r.String(*f, "format", &format)) return false;
  if (format != kProfileJsonFormat)
    return r.Fail("format", "expected \"" + std::string(kProfileJsonFormat) + "\", got \"" + format + "\"");
  int64_t x = 0;
  const JsonValue* version = r.Required(json, "", "version");
  if (!version || !r.Int(*version, "version", kProfileJsonVersion, kProfileJsonVersion, &x))
    return false;

  auto image = std::make_unique<ProfileImage>();
  uint8_t flag = 0;
  if (const JsonValue* v = json.Find("flag")) {
    if (!r.Int(*v, "flag", 0, 1, &x)) return false;
    flag = static_cast<uint8_t>(x);
  }
  ProfileHeader free_fields;
  if (const JsonValue* v = json.Find("header_reserved")) {
    if (!v->IsArray() || v->Items().size() != 3)
      return r.Fail("header_reserved", "expected an array of three numbers");
    if (!r.Int(v->Items()[0], "header_reserved[0]", 0, 0xFFFFFFFFLL, &x)) return false;
    free_fields.reserved1 = static_cast<uint32_t>(x);
    if (!r.Int(v->Items()[1], "header_reserved[1]", 0, 0xFFFFFFFFLL, &x)) return false;
    free_fields.reserved2 = static_cast<uint32_t>(x);
    if (!r.Int(v->Items()[2], "header_reserved[2]", 0, 0xFFFF, &x)) return false;
    free_fields.reserved3 = static_cast<uint16_t>(x);
  }
  const JsonValue* identity = r.Required(json, "", "identity");
  std::vector<uint8_t> bytes;
  if (!identity || !r.HexBytes(*identity, "identity", &bytes)) return false;
  if (bytes.size() != image->identity.size()) return r.Fail("identity", "expected 32 bytes");
  std::copy(bytes.begin(), bytes.end(), image->identity.begin());

  const JsonValue* pool_json = json.Find("text_pool");
  std::vector<uint8_t> pool;
  if (pool_json && !r.HexBytes(*pool_json, "text_pool", &pool)) return false;
  const bool texts_allowed = pool_json == nullptr;

  // The macros' ids first, for the keys that play them: every macro given readably has an id
  // of its own.
  const JsonValue* macros = r.Required(json, "", "macros");
  if (!macros) return false;
  if (!macros->IsArray()) return r.Fail("macros", "expected an array");
  if (macros->Items().size() > size_t(kMaxMacros))
    return r.Fail("macros", std::to_string(macros->Items().size()) + " macros, at most " +
                                std::to_string(kMaxMacros));
  std::set<uint32_t> macro_ids;
  for (size_t m = 0; m < macros->Items().size(); ++m) {
    const JsonValue& v = macros->Items()[m];
    const std::optional<uint32_t> id = MacroIdOfJson(v);
    if (!id) continue;  // reported with the macro below
    if (!macro_ids.insert(*id).second && !v.Find("raw"))
      return r.Fail("macros[" + std::to_string(m) + "].id",
                    std::to_string(*id) + " is the id of an earlier macro");
  }

  const JsonValue* layers = r.Required(json, "", "layers");
  if (!layers) return false;
  if (!layers->IsArray() || layers->Items().size() != size_t(kLayerCount))
    return r.Fail("layers", "expected an array of " + std::to_string(kLayerCount) + " layers");
  TextPool texts;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    const JsonValue& entries = layers->Items()[size_t(layer)];
    const std::string lp = "layers[" + std::to_string(layer) + "]";
    if (!entries.IsArray()) return r.Fail(lp, "expected an array of entries");
    std::set<int> seen;
    for (size_t k = 0; k < entries.Items().size(); ++k) {
      const std::string ep = lp + "[" + std::to_string(k) + "]";
      const JsonValue& o = entries.Items()[k];
      if (!o.IsObject()) return r.Fail(ep, "expected an object");
      int index = 0;
      if (!EntryIndexFromJson(r, o, ep, &index)) return false;
      if (!seen.insert(index).second) return r.Fail(ep, "entry " + std::to_string(index) + " is listed twice");
      KeyAction e;
      std::u16string text;
      bool has_text = false;
      if (!EntryFromJson(r, o, ep, &e, &text, &has_text, texts_allowed, macro_ids)) return false;
      *image->EntryAt(layer, index) = e;
      if (has_text) texts.Set(layer * kLayerEntries + index, std::move(text));
    }
  }

  const size_t count = macros->Items().size();

  std::vector<uint8_t> trailing;
  if (const JsonValue* v = json.Find("trailing")) {
    if (!r.HexBytes(*v, "trailing", &trailing)) return false;
  }

  const uint64_t text_size = pool_json ? pool.size() : texts.Total();
  if (text_size > 0xFFFFFFFFull - kProfileImageSize - count * kMacroRecordSize)
    return r.Fail(pool_json ? "text_pool" : "layers", "the texts are too large");
  image->header = CanonicalHeader(static_cast<uint16_t>(count), static_cast<uint32_t>(text_size),
                                  flag, free_fields);
  if (!pool_json) pool = PackTexts(*image, texts);

  std::vector<uint8_t> result(kProfileImageSize + count * kMacroRecordSize + pool.size() +
                              trailing.size());
  ImageToBytes(*image, std::span<uint8_t, kProfileImageSize>(result.data(), kProfileImageSize));
  auto record = std::make_unique<MacroRecord>();
  for (size_t m = 0; m < count; ++m) {
    *record = MacroRecord{};
    if (!MacroFromJson(r, macros->Items()[m], "macros[" + std::to_string(m) + "]", record.get()))
      return false;
    MacroRecordToBytes(*record, std::span<uint8_t, kMacroRecordSize>(
                                    result.data() + kMacroBase + m * kMacroRecordSize,
                                    kMacroRecordSize));
  }
  std::copy(pool.begin(), pool.end(), result.begin() + long(kMacroBase + count * kMacroRecordSize));
  std::copy(trailing.begin(), trailing.end(), result.end() - long(trailing.size()));
  *file = std::move(result);
  return true;
}

}  // namespace orvane
