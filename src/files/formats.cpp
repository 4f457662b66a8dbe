#include "formats.hpp"

#include <array>
#include <utility>

#include "names.hpp"
#include "utf8.hpp"

namespace morek {

namespace {

constexpr std::array<std::pair<std::string_view, check_format>, 6> by_name{{
    {"names", check_format::names},
    {"gcc", check_format::gcc},
    {"github", check_format::github},
    {"json", check_format::json},
    {"sarif", check_format::sarif},
    {"checkstyle", check_format::checkstyle},
}};

// Calls put(code point) for each character of t, and bad() for each byte
// that is not one: bytes from 0x80 up are Latin-1 characters under latin1,
// else UTF-8 where they form it.
template <class Put, class Bad>
void each_character(std::string_view t, bool latin1, Put put, Bad bad) {
  const auto* p = reinterpret_cast<const unsigned char*>(t.data());
  for (std::size_t i = 0; i < t.size();) {
    const unsigned char c = p[i];
    if (c < 0x80 || latin1) {
      put(static_cast<char32_t>(c), t.substr(i, 1));
      ++i;
      continue;
    }
    const unsigned len = utf8_at(p + i, t.size() - i).len;
    if (len == 1) {
      bad();
      ++i;
      continue;
    }
    char32_t cp = c & (0xFF >> (len + 1));
    for (unsigned k = 1; k < len; ++k) cp = cp << 6 | (p[i + k] & 0x3F);
    put(cp, t.substr(i, len));
    i += len;
  }
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

constexpr char hex_digits[] = "0123456789ABCDEF";

// A JSON string: bytes that are no character become U+FFFD.
void json_string(std::string& out, std::string_view t, bool latin1 = false) {
  out += '"';
  each_character(
      t, latin1,
      [&](char32_t cp, std::string_view bytes) {
        if (cp == '"' || cp == '\\') {
          out.append("\\").append(bytes);
        } else if (cp == '\n') {
          out += "\\n";
        } else if (cp == '\r') {
          out += "\\r";
        } else if (cp == '\t') {
          out += "\\t";
        } else if (cp < 0x20) {
          out.append("\\u00").append(1, hex_digits[cp >> 4]).append(1, hex_digits[cp & 15]);
        } else if (latin1 && cp >= 0x80) {
          append_utf8(out, cp);
        } else {
          out.append(bytes);
        }
      },
      [&] { out += "\\uFFFD"; });
  out += '"';
}

// An XML attribute's value: characters XML cannot hold become U+FFFD.
void xml_attribute(std::string& out, std::string_view t, bool latin1 = false) {
  each_character(
      t, latin1,
      [&](char32_t cp, std::string_view bytes) {
        switch (cp) {
          case '&': out += "&amp;"; return;
          case '<': out += "&lt;"; return;
          case '>': out += "&gt;"; return;
          case '"': out += "&quot;"; return;
          case '\'': out += "&apos;"; return;
          case '\t': out += "&#9;"; return;
          case '\n': out += "&#10;"; return;
          case '\r': out += "&#13;"; return;
          default: break;
        }
        if (cp < 0x20 || cp == 0xFFFE || cp == 0xFFFF)
          out += "\xEF\xBF\xBD";
        else if (latin1 && cp >= 0x80)
          append_utf8(out, cp);
        else
          out.append(bytes);
      },
      [&] { out += "\xEF\xBF\xBD"; });
}

// A workflow command's data, or with property, a property's value.
void github_escaped(std::string& out, std::string_view t, bool property) {
  for (char c : t) {
    if (c == '%')
      out += "%25";
    else if (c == '\r')
      out += "%0D";
    else if (c == '\n')
      out += "%0A";
    else if (property && c == ':')
      out += "%3A";
    else if (property && c == ',')
      out += "%2C";
    else
      out += c;
  }
}

// A relative reference to the file: every byte but the unreserved ones and
// '/' percent-encoded, so that a ':' is never read as a scheme; an absolute
// name as a file URI.
void uri_of(std::string& out, std::string_view name) {
  if (name.starts_with('/')) out += "file://";
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || c == '/')
      out += ch;
    else
      out.append(1, '%').append(1, hex_digits[c >> 4]).append(1, hex_digits[c & 15]);
  }
}

// What f says: its words, or those made for it in held.
std::string_view words(const finding& f, std::string& held) {
  if (!f.says.empty()) return f.says;
  held = message(f);
  return held;
}

void gcc_lines(std::string& out, std::string_view name, const std::vector<finding>& found) {
  const std::string shown = quoted_name(name);
  std::string held;
  out.reserve(out.size() + found.size() * (shown.size() + 64));
  for (const finding& f : found)
    out.append(shown)
        .append(":")
        .append(std::to_string(f.line))
        .append(":")
        .append(std::to_string(f.column))
        .append(": ")
        .append(words(f, held))
        .append("\n");
}

// Lines in a row of one kind make one annotation: a run shows only a few.
void github_lines(std::string& out, std::string_view name, const std::vector<finding>& found) {
  std::string file, held;
  github_escaped(file, name, true);
  for (std::size_t k = 0; k < found.size();) {
    std::size_t last = k;
    while (last + 1 < found.size() && found[last + 1].kind == found[k].kind && found[last + 1].line == found[last].line + 1)
      ++last;
    const finding& f = found[k];
    out.append("::error file=")
        .append(file)
        .append(",line=")
        .append(std::to_string(f.line))
        .append(",endLine=")
        .append(std::to_string(found[last].line))
        .append(",col=")
        .append(std::to_string(f.column))
        .append(",title=")
        .append(info_of(f.kind).id)
        .append("::");
    github_escaped(out, words(f, held), false);
    out += '\n';
    k = last + 1;
  }
}

void json_lines(std::string& out, std::string_view name, const std::vector<finding>& found, bool latin1) {
  std::string path, held;
  json_string(path, name);
  for (const finding& f : found) {
    out.append("{\"path\":").append(path);
    out.append(",\"line\":").append(std::to_string(f.line));
    out.append(",\"column\":").append(std::to_string(f.column));
    out.append(",\"end_line\":").append(std::to_string(f.line));
    out.append(",\"kind\":\"").append(info_of(f.kind).id).append("\",\"message\":");
    json_string(out, words(f, held));
    out.append(",\"fixed\":");
    json_string(out, f.fixed, latin1);
    out.append("}\n");
  }
}

void sarif_results(std::string& out, std::string_view name, const std::vector<finding>& found) {
  std::string uri, held;
  uri_of(uri, name);
  bool first = true;
  for (const finding& f : found) {
    if (!first) out += ",\n";
    first = false;
    out.append("{\"ruleId\":\"").append(info_of(f.kind).id);
    out.append("\",\"ruleIndex\":").append(std::to_string(static_cast<unsigned>(f.kind)));
    out.append(",\"level\":\"error\",\"message\":{\"text\":");
    json_string(out, words(f, held));
    out.append("},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":");
    json_string(out, uri);
    out.append("},\"region\":{\"startLine\":").append(std::to_string(f.line));
    out.append(",\"startColumn\":").append(std::to_string(f.column));
    out.append(",\"endLine\":").append(std::to_string(f.line)).append("}}}]}");
  }
}

void checkstyle_file(std::string& out, std::string_view name, const std::vector<finding>& found) {
  out += "<file name=\"";
  xml_attribute(out, name);
  out += "\">\n";
  std::string held;
  for (const finding& f : found) {
    out.append("<error line=\"").append(std::to_string(f.line));
    out.append("\" column=\"").append(std::to_string(f.column));
    out.append("\" severity=\"error\" message=\"");
    xml_attribute(out, words(f, held));
    out.append("\" source=\"morek.").append(info_of(f.kind).id).append("\"/>\n");
  }
  out += "</file>\n";
}

std::string sarif_opening() {
  std::string s =
      "{\"version\":\"2.1.0\",\"$schema\":\"https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json\",\"runs\":[{\"tool\":{"
      "\"driver\":{\"name\":\"morek\",\"rules\":[";
  bool first = true;
  for (const finding_kind_info& k : finding_kinds()) {
    if (!first) s += ",";
    first = false;
    s.append("{\"id\":\"").append(k.id).append("\",\"shortDescription\":{\"text\":");
    json_string(s, k.summary);
    s += "}}";
  }
  s += "]}},\"columnKind\":\"unicodeCodePoints\",\"results\":[\n";
  return s;
}

}  // namespace

bool format_named(std::string_view name, check_format& f) {
  for (const auto& [n, v] : by_name)
    if (n == name) {
      f = v;
      return true;
    }
  return false;
}

std::string_view format_names() { return "names, gcc, github, json, sarif, checkstyle"; }

std::string render_findings(check_format f, std::string_view name, const std::vector<finding>& found, bool latin1) {
  std::string out;
  switch (f) {
    case check_format::names: out.append(quoted_name(name)).append("\n"); break;
    case check_format::gcc: gcc_lines(out, name, found); break;
    case check_format::github: github_lines(out, name, found); break;
    case check_format::json: json_lines(out, name, found, latin1); break;
    case check_format::sarif: sarif_results(out, name, found); break;
    case check_format::checkstyle: checkstyle_file(out, name, found); break;
  }
  return out;
}

std::string_view format_opening(check_format f) {
  if (f == check_format::sarif) {
    static const std::string opening = sarif_opening();
    return opening;
  }
  if (f == check_format::checkstyle) return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checkstyle version=\"4.3\">\n";
  return {};
}

std::string_view format_separator(check_format f) { return f == check_format::sarif ? ",\n" : ""; }

std::string_view format_closing(check_format f) {
  if (f == check_format::sarif) return "\n]}]}\n";
  if (f == check_format::checkstyle) return "</checkstyle>\n";
  return {};
}

}  // namespace morek
