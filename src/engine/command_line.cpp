#include "engine/command_line.h"

#include "support/text.h"

namespace hs::engine {

namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Removes one pair of double quotes that encloses the whole text.
std::u16string strip_quotes(std::u16string text) {
  if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

void remove_trailing(std::u16string& text, char16_t c) {
  if (!text.empty() && text.back() == c) text.pop_back();
}

void replace_all(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  std::size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::u16string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
}

void replace_all(std::string& text, std::string_view from, std::string_view to) {
  std::size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
}

// /r:"program": the back-quote is how a double quote is written.
std::u16string run_after_value(std::u16string_view value) {
  std::u16string text(value);
  remove_trailing(text, u'"');
  replace_all(text, u"`", u"\"");
  return text;
}

// /b1: to /b3:. The batch runner takes 8-bit text; the engine writes its
// batches in code page 1252 whatever the system's ANSI code page is, so
// the commands are converted to that fixed code page (unmappable
// characters become '?'). Back-quotes become double quotes and "~~" a line
// break.
std::string batch_commands_value(std::u16string_view value) {
  std::string text = support::utf16_to_cp1252(value);
  if (!text.empty() && text.back() == '"') text.pop_back();
  replace_all(text, "`", "\"");
  replace_all(text, "~~", "\r\n");
  return text;
}

// Applies one switch (the atom without its switch character). Returns false
// when the switch is unknown.
bool apply_switch(std::u16string_view sw, RunModes& modes) {
  using support::iequals;
  using support::istarts_with;
  if (iequals(sw, u"A")) {
    modes.automatic = true;
  } else if (sw.size() >= 2 && istarts_with(sw, u"D:")) {
    std::u16string folder = strip_quotes(std::u16string(sw.substr(2)));
    remove_trailing(folder, u'\\');
    modes.folder_override = folder;
    modes.folder_override_narrow = support::utf16_to_cp1252(folder);
  } else if (sw.size() >= 2 && istarts_with(sw, u"N:")) {
    modes.product_name_override = strip_quotes(std::u16string(sw.substr(2)));
  } else if (istarts_with(sw, u"U")) {
    modes.uninstall = true;
    std::u16string_view rest = sw.substr(1);
    if (!rest.empty() && rest.front() == u':') {
      modes.uninstall_product = strip_quotes(std::u16string(rest.substr(1)));
    }
  } else if (istarts_with(sw, u"R:\"")) {
    modes.run_after = run_after_value(sw.substr(3));
  } else if (istarts_with(sw, u"B1:\"")) {
    modes.extra_batch[0] = batch_commands_value(sw.substr(4));
  } else if (istarts_with(sw, u"B2:\"")) {
    modes.extra_batch[1] = batch_commands_value(sw.substr(4));
  } else if (istarts_with(sw, u"B3:\"")) {
    modes.extra_batch[2] = batch_commands_value(sw.substr(4));
  } else if (iequals(sw, u"Silent")) {
    modes.automatic = true;
    modes.silent = true;
  } else if (iequals(sw, u"MIN")) {
    modes.minimized = true;
  } else if (!sw.empty()) {
    return false;
  }
  return true;
}

}  // namespace

std::u16string next_atom(std::u16string& rest) {
  std::size_t pos = 0;
  while (pos < rest.size() && is_blank(rest[pos])) ++pos;

  std::u16string atom;
  while (pos < rest.size()) {
    const char16_t c = rest[pos];
    if (c != u'"') {
      ++pos;
      if (is_blank(c)) break;
      atom.push_back(c);
      continue;
    }
    // A quoted part: "" inside stands for one literal quote; a single quote
    // closes it; without a closing quote it runs to the end.
    std::u16string enclosed;
    ++pos;
    while (pos < rest.size()) {
      if (rest[pos] == u'"') {
        if (pos + 1 < rest.size() && rest[pos + 1] == u'"') {
          enclosed.push_back(u'"');
          pos += 2;
          continue;
        }
        ++pos;
        break;
      }
      enclosed.push_back(rest[pos++]);
    }
    atom.push_back(u'"');
    atom += enclosed;
    atom.push_back(u'"');
  }
  rest.erase(0, pos);
  return atom;
}

ParsedCommandLine parse_command_line(std::u16string_view command_line) {
  ParsedCommandLine parsed;
  std::u16string rest(command_line);
  next_atom(rest);  // the program's own name

  for (int count = 0; count < kMaxSwitches && !rest.empty(); ++count) {
    const std::u16string atom = next_atom(rest);
    if (atom.empty()) break;
    if (atom.front() != u'/' && atom.front() != u'-') {
      parsed.error = UsageError{u"Unexpected command line parameter:\r\n" + atom};
      return parsed;
    }
    if (!apply_switch(std::u16string_view(atom).substr(1), parsed.modes)) {
      parsed.error = UsageError{u"Illegal command line atom:\r\n" + atom};
      return parsed;
    }
  }

  if (parsed.modes.uninstall && parsed.modes.uninstall_product.empty()) {
    parsed.error = UsageError{u"Product name required"};
  }
  return parsed;
}

std::u16string usage_text(std::u16string_view message, std::u16string_view own_name) {
  std::u16string text;
  text += message;
  text += u"\r\n\r\nUsage:\r\n";
  text += own_name;
  text +=
      u" [/a] [/b1:\"commands\"] [/b2:\"commands\"] [/b3:\"commands\"] [/d:\"dir\"] [/n:\"name\"] "
      u"[/u:\"name\"] [/r:\"program\"] [/silent]\r\n"
      u"\r\n"
      u"/a                  \tAutomatic mode.\r\n"
      u"/d:\"dir\"        \tOverride installation path.\r\n"
      u"/b1:\"commands\"\tAdd commands to the end of the Pre-Installation Batch.\r\n"
      u"/b2:\"commands\"\tAdd commands to the end of the Post-Installation Batch.\r\n"
      u"/b3:\"commands\"\tAdd commands to the end of the Installation-Exit Batch.\r\n"
      u"/n:\"name\"\tOverride product name.\r\n"
      u"/u:\"name\"\tUninstall product by name.\r\n"
      u"/r:\"program\"\tRun the specified program after a successful installation.\r\n"
      u"/silent\tDisplay no user interface.";
  return text;
}

std::u16string file_name_part(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"\\/:");
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace hs::engine
