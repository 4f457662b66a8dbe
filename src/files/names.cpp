#include "names.hpp"

#include <vector>

namespace morek {

bool needs_quoting(std::string_view name) {
  for (const unsigned char c : name)
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') return true;
  return false;
}

std::string quoted_name(std::string_view name, bool always) {
  if (!always && !needs_quoting(name)) return std::string(name);
  std::string q = "\"";
  for (const unsigned char c : name) {
    const char* escape = c == '"' ? "\\\"" : c == '\\' ? "\\\\" : c == '\a' ? "\\a" : c == '\b' ? "\\b"
                       : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\v' ? "\\v" : c == '\f' ? "\\f"
                       : c == '\r' ? "\\r" : nullptr;
    if (escape != nullptr) {
      q += escape;
    } else if (c < 0x20 || c == 0x7f) {
      q += '\\';
      q += static_cast<char>('0' + (c >> 6));
      q += static_cast<char>('0' + ((c >> 3) & 7));
      q += static_cast<char>('0' + (c & 7));
    } else {
      q += static_cast<char>(c);
    }
  }
  return q + "\"";
}

namespace {

// The components of path, without "." and empty ones, ".." taking one back;
// false when a ".." would climb above where path starts.
bool components(std::string_view path, std::vector<std::string_view>& parts, bool at_root = false) {
  for (std::size_t at = 0; at <= path.size();) {
    std::size_t end = path.find('/', at);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty() && at_root) continue;  // "/.." is "/"
      if (parts.empty()) return false;
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  return true;
}

std::string joined(const std::vector<std::string_view>& parts) {
  std::string s;
  for (const std::string_view p : parts) {
    if (!s.empty()) s += '/';
    s.append(p);
  }
  return s;
}

}  // namespace

std::string diff_path(std::string_view name, std::string_view cwd) {
  std::vector<std::string_view> parts;
  if (!name.empty() && name[0] != '/' && components(name, parts)) return joined(parts);
  // Outside: by the absolute path, the ".." taken lexically from the
  // current directory, which getcwd gives without links.
  parts.clear();
  std::string absolute(name);
  if (name.empty() || name[0] != '/') absolute = std::string(cwd) + "/" + absolute;
  (void)components(absolute, parts, true);
  return joined(parts);
}

}  // namespace morek
