// Report descriptors from files, and their collections as text and JSON.
#include "cli/describe.h"

#include <cstdio>

#include "platform/format.h"

namespace orvane {
namespace {

bool IsTextByte(uint8_t b) { return b == '\n' || b == '\r' || b == '\t' || (b >= 0x20 && b < 0x7F); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A token that is one byte in hex: "05", "0x05", "0X5" is not (two digits required).
bool HexByteToken(const std::string& t, uint8_t* out) {
  std::string d = t;
  if (d.size() == 4 && d[0] == '0' && (d[1] == 'x' || d[1] == 'X')) d = d.substr(2);
  if (d.size() != 2) return false;
  const int hi = HexValue(d[0]);
  const int lo = HexValue(d[1]);
  if (hi < 0 || lo < 0) return false;
  *out = static_cast<uint8_t>(hi * 16 + lo);
  return true;
}

// An offset at the start of a dump line: four or more hex digits, or hex digits and a colon.
bool IsOffsetToken(const std::string& t) {
  std::string d = t;
  const bool colon = !d.empty() && d.back() == ':';
  if (colon) d.pop_back();
  if (d.empty() || (!colon && d.size() < 4)) return false;
  for (char c : d)
    if (HexValue(c) < 0) return false;
  return true;
}

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == ',' || c == '\r' || c == ';') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

const char* ReportTypeName(HidReportType t) {
  switch (t) {
    case HidReportType::Input: return "input";
    case HidReportType::Output: return "output";
    case HidReportType::Feature: return "feature";
  }
  return "input";
}

JsonValue CapToJson(const HidCap& cap, bool button) {
  JsonValue o = JsonValue::Object();
  o.Set("report_type", ReportTypeName(cap.report_type));
  o.Set("report_id", static_cast<int>(cap.report_id));
  o.Set("usage_page", static_cast<int>(cap.usage_page));
  o.Set("usage_min", static_cast<int>(cap.usage_min));
  o.Set("usage_max", static_cast<int>(cap.usage_max));
  o.Set("bit_size", static_cast<int>(cap.bit_size));
  o.Set("report_count", static_cast<int>(cap.report_count));
  o.Set("logical_min", static_cast<int64_t>(cap.logical_min));
  o.Set("logical_max", static_cast<int64_t>(cap.logical_max));
  if (!button) {
    o.Set("physical_min", static_cast<int64_t>(cap.physical_min));
    o.Set("physical_max", static_cast<int64_t>(cap.physical_max));
  }
  o.Set("is_array", cap.is_array);
  o.Set("is_absolute", cap.is_absolute);
  return o;
}

std::string CapLine(const HidCap& cap) {
  char buf[256];
  std::string usages = cap.usage_min == cap.usage_max
                           ? HexText(cap.usage_min, 4)
                           : HexText(cap.usage_min, 4) + "-" + HexText(cap.usage_max, 4);
  std::snprintf(buf, sizeof buf,
                "%-7s report %3u  page %s  usage %-13s %2u bit x %-4u logical %ld..%ld%s",
                ReportTypeName(cap.report_type), unsigned(cap.report_id),
                HexText(cap.usage_page, 4).c_str(), usages.c_str(), unsigned(cap.bit_size),
                unsigned(cap.report_count), long(cap.logical_min), long(cap.logical_max),
                cap.is_array ? "  array" : "");
  return buf;
}

}  // namespace

bool DescriptorBytesFromFile(std::span<const uint8_t> file, std::vector<uint8_t>* out,
                             std::string* error) {
  bool text = !file.empty();
  for (uint8_t b : file) text = text && IsTextByte(b);
  if (!text) {
    out->assign(file.begin(), file.end());
    return true;
  }
  out->clear();
  std::string line;
  auto take_line = [&](const std::string& l) {
    std::vector<std::string> tokens = Tokens(l);
    size_t first = 0;
    if (!tokens.empty() && tokens[0] == "R:") {
      first = 2;  // "R: <length> <bytes...>"
    } else if (!tokens.empty() && IsOffsetToken(tokens[0])) {
      first = 1;  // hexdump's "00000010" or "0010:"
    }
    std::vector<uint8_t> bytes;
    for (size_t i = first; i < tokens.size(); ++i) {
      if (tokens[i][0] == '|') break;  // hexdump -C's character column
      // Any other word ("DESCRIPTOR", "Usage") makes the line a heading.
      uint8_t b;
      if (!HexByteToken(tokens[i], &b)) return;
      bytes.push_back(b);
    }
    out->insert(out->end(), bytes.begin(), bytes.end());
  };
  for (uint8_t b : file) {
    if (b == '\n') {
      take_line(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(b));
    }
  }
  take_line(line);
  if (out->empty()) {
    if (error) *error = "no hex bytes found in the text";
    return false;
  }
  return true;
}

JsonValue CollectionToJson(const HidCollectionInfo& c) {
  JsonValue o = JsonValue::Object();
  o.Set("usage_page", static_cast<int>(c.usage_page));
  o.Set("usage", static_cast<int>(c.usage));
  o.Set("input_report_length", static_cast<int>(c.input_report_byte_length));
  o.Set("output_report_length", static_cast<int>(c.output_report_byte_length));
  o.Set("feature_report_length", static_cast<int>(c.feature_report_byte_length));
  JsonValue buttons = JsonValue::Array();
  JsonValue values = JsonValue::Array();
  for (int t = 0; t < 3; ++t) {
    for (const HidCap& cap : c.button_caps[t]) buttons.Push(CapToJson(cap, true));
    for (const HidCap& cap : c.value_caps[t]) values.Push(CapToJson(cap, false));
  }
  o.Set("button_caps", std::move(buttons));
  o.Set("value_caps", std::move(values));
  return o;
}

std::string CollectionToText(const HidCollectionInfo& c, const std::string& indent) {
  std::string s;
  s += indent + "usage page " + HexText(c.usage_page, 4) + ", usage " + HexText(c.usage, 4) + "\n";
  s += indent + "report lengths: input " + std::to_string(c.input_report_byte_length) +
       ", output " + std::to_string(c.output_report_byte_length) + ", feature " +
       std::to_string(c.feature_report_byte_length) + " (report ID byte included)\n";
  bool any_button = false, any_value = false;
  for (int t = 0; t < 3; ++t) {
    any_button = any_button || !c.button_caps[t].empty();
    any_value = any_value || !c.value_caps[t].empty();
  }
  if (any_button) {
    s += indent + "button caps:\n";
    for (int t = 0; t < 3; ++t)
      for (const HidCap& cap : c.button_caps[t]) s += indent + "  " + CapLine(cap) + "\n";
  }
  if (any_value) {
    s += indent + "value caps:\n";
    for (int t = 0; t < 3; ++t)
      for (const HidCap& cap : c.value_caps[t]) s += indent + "  " + CapLine(cap) + "\n";
  }
  return s;
}

}  // namespace orvane
