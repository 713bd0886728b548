// Report-descriptor parser: short items of the three types walked with a global-state stack,
// main items turned into capabilities, report lengths summed per report ID.
#include "platform/hid_descriptor.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>

namespace orvane {
namespace {

struct Globals {
  uint32_t usage_page = 0;
  int64_t logical_min = 0;
  uint32_t logical_max_raw = 0;
  int logical_max_size = 0;
  int64_t physical_min = 0;
  uint32_t physical_max_raw = 0;
  int physical_max_size = 0;
  int8_t unit_exponent = 0;
  uint32_t unit = 0;
  uint32_t report_size = 0;
  uint32_t report_id = 0;
  uint32_t report_count = 0;
};

struct LocalUsage {
  uint32_t min = 0;  // extended usages keep their page in the high 16 bits
  uint32_t max = 0;
  bool min_extended = false;
  bool max_extended = false;
  bool range = false;
};

int64_t SignExtend(uint32_t raw, int size) {
  switch (size) {
    case 1: return static_cast<int8_t>(raw);
    case 2: return static_cast<int16_t>(raw);
    case 4: return static_cast<int32_t>(raw);
    default: return 0;
  }
}

// A maximum is signed only when its minimum is negative; otherwise 0xFF means 255.
int64_t MaxValue(int64_t min, uint32_t raw, int size) {
  return min < 0 ? SignExtend(raw, size) : static_cast<int64_t>(raw);
}

int32_t Clamp32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

class Parser {
 public:
  Parser(const uint8_t* data, size_t size, HidDescriptor* out, std::string* error)
      : data_(data), size_(size), out_(out), error_(error) {}

  bool Run() {
    if (size_ > kHidMaxDescriptorBytes) return Fail("descriptor too large");
    size_t pos = 0;
    while (pos < size_) {
      const uint8_t prefix = data_[pos];
      if (prefix == 0xFE) {  // long item: skipped, but its length must fit
        if (size_ - pos < 3) return Fail("truncated long item");
        const size_t len = data_[pos + 1];
        if (size_ - pos - 3 < len) return Fail("truncated long item");
        pos += 3 + len;
        continue;
      }
      static constexpr int kSizes[4] = {0, 1, 2, 4};
      const int len = kSizes[prefix & 3];
      if (size_ - pos - 1 < static_cast<size_t>(len)) return Fail("truncated item");
      uint32_t raw = 0;
      for (int i = 0; i < len; ++i) raw |= static_cast<uint32_t>(data_[pos + 1 + i]) << (8 * i);
      const int type = (prefix >> 2) & 3;
      const int tag = prefix >> 4;
      pos += 1 + len;
      bool ok = true;
      switch (type) {
        case 0: ok = Main(tag, raw); break;
        case 1: ok = Global(tag, raw, len); break;
        case 2: ok = Local(tag, raw, len); break;
        default: return Fail("reserved item type");
      }
      if (!ok) return false;
    }
    if (depth_ != 0) return Fail("unbalanced collections: missing End Collection");
    if (uses_ids_) {
      for (int t = 0; t < 3; ++t)
        if (bits_[t][0] != 0) return Fail("fields outside any report ID in a descriptor with IDs");
    }
    out_->uses_report_ids = uses_ids_;
    for (auto& c : out_->collections) {
      c.uses_report_ids = uses_ids_;
      uint16_t* lengths[3] = {&c.input_report_byte_length, &c.output_report_byte_length,
                              &c.feature_report_byte_length};
      for (int t = 0; t < 3; ++t) {
        uint32_t bytes = 0;
        for (uint8_t id : c.report_ids[t]) bytes = std::max(bytes, (bits_[t][id] + 7) / 8);
        *lengths[t] = c.report_ids[t].empty() ? 0 : static_cast<uint16_t>(bytes + 1);
      }
    }
    return true;
  }

 private:
  bool Fail(const char* why) {
    *error_ = why;
    return false;
  }

  // Page and usage of a local usage value, taking the page in effect at the main item.
  void Resolve(uint32_t usage, bool extended, uint16_t* page, uint16_t* id) const {
    *page = static_cast<uint16_t>(extended ? usage >> 16 : g_.usage_page);
    *id = static_cast<uint16_t>(usage & 0xFFFF);
  }

  bool Global(int tag, uint32_t raw, int len) {
    switch (tag) {
      case 0x0: g_.usage_page = raw; break;
      case 0x1: g_.logical_min = SignExtend(raw, len); break;
      case 0x2: g_.logical_max_raw = raw; g_.logical_max_size = len; break;
      case 0x3: g_.physical_min = SignExtend(raw, len); break;
      case 0x4: g_.physical_max_raw = raw; g_.physical_max_size = len; break;
      case 0x5:
        // Commonly a 4-bit two's-complement nibble; wider values are taken as signed.
        g_.unit_exponent = raw <= 0xF ? static_cast<int8_t>(raw >= 8 ? static_cast<int>(raw) - 16
                                                                     : static_cast<int>(raw))
                                      : static_cast<int8_t>(std::clamp<int64_t>(
                                            SignExtend(raw, len), -128, 127));
        break;
      case 0x6: g_.unit = raw; break;
      case 0x7:
        if (raw > kHidMaxReportSize) return Fail("report size too large");
        g_.report_size = raw;
        break;
      case 0x8:
        if (raw == 0 || raw > 255) return Fail("invalid report ID");
        for (int t = 0; t < 3; ++t)
          if (bits_[t][0] != 0) return Fail("report ID after fields without one");
        g_.report_id = raw;
        uses_ids_ = true;
        break;
      case 0x9:
        if (raw > kHidMaxReportCount) return Fail("report count too large");
        g_.report_count = raw;
        break;
      case 0xA:
        if (stack_.size() >= kHidMaxPushDepth) return Fail("push stack too deep");
        stack_.push_back(g_);
        break;
      case 0xB:
        if (stack_.empty()) return Fail("pop without push");
        g_ = stack_.back();
        stack_.pop_back();
        break;
      default: break;  // reserved global tags carry nothing we use
    }
    return true;
  }

  bool AddUsage(const LocalUsage& u) {
    if (usages_.size() >= kHidMaxLocalUsages) return Fail("too many usages");
    usages_.push_back(u);
    return true;
  }

  bool Local(int tag, uint32_t raw, int len) {
    const bool extended = len == 4;
    switch (tag) {
      case 0x0: return AddUsage(LocalUsage{raw, raw, extended, extended, false});
      case 0x1:
        pending_min_ = raw;
        pending_min_ext_ = extended;
        has_min_ = true;
        break;
      case 0x2:
        pending_max_ = raw;
        pending_max_ext_ = extended;
        has_max_ = true;
        break;
      default: return true;  // designators, strings, delimiters: not used
    }
    if (has_min_ && has_max_) {
      has_min_ = has_max_ = false;
      if (pending_min_ext_ != pending_max_ext_ ||
          (pending_min_ext_ && (pending_min_ >> 16) != (pending_max_ >> 16)))
        return Fail("usage range spans usage pages");
      if ((pending_max_ & 0xFFFF) < (pending_min_ & 0xFFFF))
        return Fail("usage maximum below usage minimum");
      return AddUsage(LocalUsage{pending_min_, pending_max_, pending_min_ext_, pending_max_ext_,
                                 true});
    }
    return true;
  }

  void ClearLocals() {
    usages_.clear();
    has_min_ = has_max_ = false;
  }

  bool Main(int tag, uint32_t raw) {
    bool ok = true;
    switch (tag) {
      case 0xA: ok = BeginCollection(); break;
      case 0xC:
        if (depth_ == 0) ok = Fail("End Collection without Collection");
        else --depth_;
        break;
      case 0x8: ok = Field(HidReportType::Input, raw); break;
      case 0x9: ok = Field(HidReportType::Output, raw); break;
      case 0xB: ok = Field(HidReportType::Feature, raw); break;
      default: break;
    }
    ClearLocals();
    return ok;
  }

  bool BeginCollection() {
    if (depth_ >= kHidMaxCollectionDepth) return Fail("collections nested too deep");
    if (depth_ == 0) {
      if (out_->collections.size() >= kHidMaxCollections) return Fail("too many collections");
      HidCollectionInfo c;
      if (!usages_.empty()) Resolve(usages_[0].min, usages_[0].min_extended, &c.usage_page, &c.usage);
      out_->collections.push_back(std::move(c));
    }
    ++depth_;
    return true;
  }

  bool Field(HidReportType type, uint32_t flags) {
    if (depth_ == 0) return Fail("main item outside a collection");
    const int t = static_cast<int>(type);
    const uint8_t id = static_cast<uint8_t>(g_.report_id);
    const uint32_t bits = g_.report_size * g_.report_count;  // both bounded, no overflow
    const uint32_t offset = bits_[t][id];
    if (bits > kHidMaxReportBytes * 8 - offset) return Fail("report too long");
    bits_[t][id] = offset + bits;
    if (bits == 0) return true;

    HidCollectionInfo& c = out_->collections.back();
    auto& ids = c.report_ids[t];
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);

    const bool constant = flags & 0x1;
    const bool variable = flags & 0x2;
    if (constant || usages_.empty() || g_.report_size == 0) return true;  // padding

    HidCap base;
    base.report_type = type;
    base.report_id = id;
    base.is_array = !variable;
    base.is_absolute = !(flags & 0x4);
    base.has_null = flags & 0x40;
    base.bit_size = static_cast<uint16_t>(g_.report_size);
    const int64_t lmax = MaxValue(g_.logical_min, g_.logical_max_raw, g_.logical_max_size);
    base.logical_min = Clamp32(g_.logical_min);
    base.logical_max = Clamp32(lmax);
    int64_t pmax = MaxValue(g_.physical_min, g_.physical_max_raw, g_.physical_max_size);
    if (g_.physical_min == 0 && pmax == 0) {  // none given: physical equals logical
      base.physical_min = base.logical_min;
      base.physical_max = base.logical_max;
    } else {
      base.physical_min = Clamp32(g_.physical_min);
      base.physical_max = Clamp32(pmax);
    }
    base.units = g_.unit;
    base.unit_exponent = g_.unit_exponent;
    const bool button = !variable || g_.report_size == 1;
    auto& list = button ? c.button_caps[t] : c.value_caps[t];

    uint32_t field = 0;        // variable items: next field to assign
    uint32_t array_index = 0;  // array items: index of the usage in the item's list
    for (size_t i = 0; i < usages_.size(); ++i) {
      const LocalUsage& u = usages_[i];
      if (total_caps_ >= kHidMaxCaps) return Fail("too many capabilities");
      HidCap cap = base;
      uint16_t page_max = 0;
      Resolve(u.min, u.min_extended, &cap.usage_page, &cap.usage_min);
      Resolve(u.max, u.max_extended, &page_max, &cap.usage_max);
      cap.is_range = u.range;
      const uint32_t span = static_cast<uint32_t>(cap.usage_max - cap.usage_min) + 1;
      if (!variable) {
        cap.bit_offset = offset;
        cap.report_count = static_cast<uint16_t>(g_.report_count);
        cap.array_index = array_index;
        array_index += span;
      } else {
        if (field >= g_.report_count) break;  // more usages than fields: the rest are unused
        const uint32_t left = g_.report_count - field;
        // A single usage that is the last one covers every remaining field.
        uint32_t n = u.range ? std::min(span, left) : (i + 1 == usages_.size() ? left : 1);
        cap.bit_offset = offset + field * g_.report_size;
        cap.report_count = static_cast<uint16_t>(n);
        if (u.range) cap.usage_max = static_cast<uint16_t>(cap.usage_min + n - 1);
        field += n;
      }
      total_fields_ += cap.report_count;
      if (total_fields_ > kHidMaxCapFields) return Fail("too many fields");
      list.push_back(cap);
      ++total_caps_;
    }
    return true;
  }

  const uint8_t* data_;
  size_t size_;
  HidDescriptor* out_;
  std::string* error_;
  Globals g_;
  std::vector<Globals> stack_;
  std::vector<LocalUsage> usages_;
  uint32_t pending_min_ = 0, pending_max_ = 0;
  bool pending_min_ext_ = false, pending_max_ext_ = false, has_min_ = false, has_max_ = false;
  size_t depth_ = 0;
  size_t total_caps_ = 0;
  size_t total_fields_ = 0;
  bool uses_ids_ = false;
  std::array<std::array<uint32_t, 256>, 3> bits_{};  // bits per report type and report ID
};

// Where the field lies in bytes after the ID byte; false if the report is too short.
bool FieldInside(const HidCap& cap, uint32_t index, size_t length) {
  const uint64_t end_bit =
      static_cast<uint64_t>(cap.bit_offset) + (static_cast<uint64_t>(index) + 1) * cap.bit_size;
  return length >= 1 && (end_bit + 7) / 8 <= length - 1;
}

int64_t FieldValue(const HidCap& cap, const uint8_t* report, uint32_t index) {
  const uint32_t raw = HidExtractBits(report + 1, cap.bit_offset + index * cap.bit_size, cap.bit_size);
  if (cap.logical_min < 0 && cap.bit_size < 32 && cap.bit_size > 0 && (raw >> (cap.bit_size - 1)) & 1)
    return static_cast<int64_t>(raw) - (int64_t{1} << cap.bit_size);
  if (cap.logical_min < 0 && cap.bit_size == 32) return static_cast<int32_t>(raw);
  return raw;
}

const HidCap* FindValueCap(const HidCollectionInfo& c, HidReportType type, uint16_t page,
                           uint16_t usage, uint8_t report_id, HidStatus* status) {
  *status = kHidStatusUsageNotFound;
  for (const HidCap& cap : c.Values(type)) {
    if (cap.usage_page != page || usage < cap.usage_min || usage > cap.usage_max) continue;
    if (cap.report_id != report_id) {
      *status = kHidStatusIncompatibleReportId;
      continue;
    }
    *status = kHidStatusSuccess;
    return &cap;
  }
  return nullptr;
}

}  // namespace

bool HidCollectionInfo::HasReport(HidReportType t, uint8_t report_id) const {
  const auto& ids = report_ids[static_cast<int>(t)];
  return std::find(ids.begin(), ids.end(), report_id) != ids.end();
}

bool ParseHidDescriptor(const uint8_t* data, size_t size, HidDescriptor* out, std::string* error) {
  std::string scratch;
  if (!error) error = &scratch;
  *out = HidDescriptor{};
  if (!data && size != 0) {
    *error = "no descriptor data";
    return false;
  }
  try {
    Parser parser(data, size, out, error);
    if (parser.Run()) {
      if (out->collections.empty()) {
        *error = "no top-level collection";
      } else {
        return true;
      }
    }
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
  }
  *out = HidDescriptor{};
  return false;
}

uint32_t HidExtractBits(const uint8_t* data, uint32_t bit_offset, uint32_t bit_size) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < bit_size; ++i) {
    const uint32_t bit = bit_offset + i;
    if ((data[bit / 8] >> (bit % 8)) & 1) value |= uint32_t{1} << i;
  }
  return value;
}

uint32_t HidMaxUsageListLength(const HidCollectionInfo& c, HidReportType type, uint16_t usage_page) {
  uint32_t n = 0;
  for (const HidCap& cap : c.Buttons(type))
    if (cap.usage_page == usage_page) n += cap.report_count;
  return n;
}

HidStatus HidGetUsages(const HidCollectionInfo& c, HidReportType type, uint16_t usage_page,
                       const uint8_t* report, size_t length, uint32_t max_usages,
                       std::vector<uint16_t>* usages) {
  usages->clear();
  if (!report || length == 0) return kHidStatusInvalidReportLength;
  HidStatus status = kHidStatusUsageNotFound;
  bool matched = false;
  for (const HidCap& cap : c.Buttons(type)) {
    if (cap.usage_page != usage_page) continue;
    if (cap.report_id != report[0]) {
      if (!matched) status = kHidStatusIncompatibleReportId;
      continue;
    }
    if (!matched) status = kHidStatusSuccess;
    matched = true;
    if (cap.report_count == 0 || !FieldInside(cap, cap.report_count - 1, length))
      return kHidStatusInvalidReportLength;
    if (cap.bit_size > 32) continue;
    for (uint32_t f = 0; f < cap.report_count; ++f) {
      uint16_t usage = 0;
      if (cap.is_array) {
        const int64_t v = FieldValue(cap, report, f);
        if (v < cap.logical_min || v > cap.logical_max) continue;  // "no control" value
        const int64_t index = v - cap.logical_min;
        const int64_t span = int64_t{cap.usage_max} - cap.usage_min + 1;
        if (index < cap.array_index || index >= cap.array_index + span) continue;
        usage = static_cast<uint16_t>(cap.usage_min + (index - cap.array_index));
      } else {
        if (!HidExtractBits(report + 1, cap.bit_offset + f, 1)) continue;
        usage = cap.is_range ? static_cast<uint16_t>(cap.usage_min + f) : cap.usage_min;
      }
      if (usage == 0) continue;  // usage 0 means "nothing" on every page
      if (usages->size() >= max_usages) return kHidStatusBufferTooSmall;
      usages->push_back(usage);
    }
  }
  return status;
}

HidStatus HidGetUsageValue(const HidCollectionInfo& c, HidReportType type, uint16_t usage_page,
                           uint16_t usage, const uint8_t* report, size_t length, uint32_t* value) {
  *value = 0;
  if (!report || length == 0) return kHidStatusInvalidReportLength;
  HidStatus status;
  const HidCap* cap = FindValueCap(c, type, usage_page, usage, report[0], &status);
  if (!cap) return status;
  if (cap->bit_size > 32) return kHidStatusBadFieldSize;
  const uint32_t index = cap->is_range ? usage - cap->usage_min : 0;
  if (!FieldInside(*cap, index, length)) return kHidStatusInvalidReportLength;
  *value = HidExtractBits(report + 1, cap->bit_offset + index * cap->bit_size, cap->bit_size);
  return kHidStatusSuccess;
}

HidStatus HidGetScaledUsageValue(const HidCollectionInfo& c, HidReportType type,
                                 uint16_t usage_page, uint16_t usage, const uint8_t* report,
                                 size_t length, int32_t* value) {
  *value = 0;
  if (!report || length == 0) return kHidStatusInvalidReportLength;
  HidStatus status;
  const HidCap* cap = FindValueCap(c, type, usage_page, usage, report[0], &status);
  if (!cap) return status;
  if (cap->bit_size > 32) return kHidStatusBadFieldSize;
  const uint32_t index = cap->is_range ? usage - cap->usage_min : 0;
  if (!FieldInside(*cap, index, length)) return kHidStatusInvalidReportLength;
  if (cap->logical_min >= cap->logical_max || cap->physical_min >= cap->physical_max)
    return kHidStatusBadLogPhyValues;
  const int64_t v = FieldValue(*cap, report, index);
  if (v < cap->logical_min || v > cap->logical_max)
    return cap->has_null ? kHidStatusNull : kHidStatusValueOutOfRange;
  const int64_t lrange = int64_t{cap->logical_max} - cap->logical_min;
  const int64_t prange = int64_t{cap->physical_max} - cap->physical_min;
  // Both factors are below 2^32, so the product fits in 64 unsigned bits.
  const uint64_t scaled = static_cast<uint64_t>(v - cap->logical_min) *
                          static_cast<uint64_t>(prange) / static_cast<uint64_t>(lrange);
  *value = Clamp32(cap->physical_min + static_cast<int64_t>(scaled));
  return kHidStatusSuccess;
}

}  // namespace orvane
