#include "platform/sim/win_path.h"

#include "support/text.h"

namespace hs::platform::sim {

namespace {

constexpr SysError kInvalidName = 123;
constexpr SysError kBadPathname = 161;

bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

bool is_letter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool valid_name_char(char16_t c) {
  return c >= 32 && std::u16string_view(u"<>:\"|?*").find(c) == std::u16string_view::npos;
}

}  // namespace

std::u16string WinPath::text() const {
  std::u16string out{drive, u':'};
  if (parts.empty()) return out + u"\\";
  for (const auto& part : parts) out += u"\\" + part;
  return out;
}

std::u16string WinPath::key() const { return support::to_upper(text()); }

WinPath WinPath::parent() const {
  WinPath up = *this;
  if (!up.parts.empty()) up.parts.pop_back();
  return up;
}

Result<WinPath> parse_win_path(std::u16string_view path, const WinPath& current) {
  if (path.starts_with(u"\\\\?\\") || path.starts_with(u"\\??\\")) path.remove_prefix(4);
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) return Result<WinPath>::fail(kBadPathname);

  WinPath result;
  if (path.size() >= 2 && is_letter(path[0]) && path[1] == u':') {
    result.drive = support::to_upper(path[0]);
    path.remove_prefix(2);
    if (path.empty() || !is_separator(path[0])) {
      // "C:name": relative to the current folder when it is on that drive.
      if (result.drive == current.drive) result.parts = current.parts;
    }
  } else if (!path.empty() && is_separator(path[0])) {
    result.drive = current.drive;
  } else {
    result = current;
  }

  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = pos;
    while (end < path.size() && !is_separator(path[end])) ++end;
    std::u16string part(path.substr(pos, end - pos));
    pos = end + 1;
    if (part.empty() || part == u".") {
      if (end >= path.size()) break;
      continue;
    }
    if (part == u"..") {
      if (!result.parts.empty()) result.parts.pop_back();
    } else {
      while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
      if (part.empty()) continue;
      for (char16_t c : part) {
        if (!valid_name_char(c)) return Result<WinPath>::fail(kInvalidName);
      }
      result.parts.push_back(std::move(part));
    }
    if (end >= path.size()) break;
  }
  return Result<WinPath>::ok(std::move(result));
}

bool wildcard_match(std::u16string_view pattern, std::u16string_view name) {
  if (pattern == u"*.*" || pattern == u"*") return true;
  // Iterative matching with one backtrack point for the last '*'.
  std::size_t p = 0, n = 0, star = std::u16string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || support::to_upper(pattern[p]) == support::to_upper(name[n]))) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      mark = n;
    } else if (star != std::u16string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  // "name.*" also matches "name" without an extension.
  if (p + 2 == pattern.size() && pattern[p] == u'.' && pattern[p + 1] == u'*') return true;
  return p == pattern.size();
}

}  // namespace hs::platform::sim
