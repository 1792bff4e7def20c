#include "wizard/pages.h"

#include "engine/exit.h"
#include "package/product_flags.h"
#include "support/files.h"
#include "support/text.h"
#include "wizard/disk_space.h"
#include "support/format.h"
#include "wizard/message_format.h"
#include "wizard/start_menu_name.h"

namespace hs::wizard {

namespace {

using platform::PageControl;
using platform::PageRequest;
using platform::PageResult;

namespace csidl = platform::csidl;

bool flag(const engine::Session& session, int bit) { return (session.settings.product_flags >> bit) & 1; }
bool flag2(const engine::Session& session, int bit) { return (session.settings.product_flags2 >> bit) & 1; }

std::u16string msg(const engine::Session& session, int n) { return session.message ? session.message(n) : u""; }

void replace_all(std::u16string& text, std::u16string_view what, std::u16string_view with) {
  if (what.empty()) return;
  for (std::size_t at = text.find(what); at != std::u16string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

// The page's caption and banner: the page text is the caption, except in
// the banner style whose caption is message 65 (55 when uninstalling) and
// whose banner holds the page title and the page text.
void set_caption(const engine::Session& session, PageRequest& request, int style, const std::u16string& page_text,
                 bool uninstalling = false) {
  request.look = page_look(session, style, page_text);
  request.caption = caption_text(effective_style(style) == 2 ? msg(session, uninstalling ? 55 : 65) : page_text);
}

PageControl control(int id, std::u16string text, int state = 0, bool enabled = true) {
  PageControl c;
  c.id = id;
  c.text = std::move(text);
  c.state = state;
  c.enabled = enabled;
  return c;
}

const PageControl* find_control(const PageResult& result, int id) {
  for (const PageControl& c : result.controls)
    if (c.id == id) return &c;
  return nullptr;
}

// The text a control had when the page closed; `fallback` when the
// backend did not report it.
std::u16string result_text(const PageResult& result, int id, const std::u16string& fallback) {
  const PageControl* c = find_control(result, id);
  return c ? c->text : fallback;
}

int result_state(const PageResult& result, int id, int fallback) {
  const PageControl* c = find_control(result, id);
  return c ? c->state : fallback;
}

std::u16string trim(std::u16string_view text) {
  std::size_t b = 0, e = text.size();
  auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (b < e && space(text[b])) ++b;
  while (e > b && space(text[e - 1])) --e;
  return std::u16string(text.substr(b, e - b));
}

// A stored licence or read-me text as the viewer takes it: RTF bytes kept
// byte for byte (one character per byte), plain UTF-16LE texts decoded and
// their macros replaced.
std::u16string document_text(const engine::Session& session, const std::string& bytes, bool& rich) {
  rich = is_rtf(bytes);
  if (rich) {
    std::u16string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) out += static_cast<char16_t>(c);
    return out;
  }
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
  return replace_macros(session, text);
}

PageAnswer answer_of(const PageResult& result) { return is_next(result) ? PageAnswer::kNext : PageAnswer::kCancel; }

}  // namespace

std::u16string caption_text(std::u16string_view text) {
  const std::size_t end = text.find_first_of(u"\r\n");
  return trim(text.substr(0, end));
}

bool is_next(const PageResult& result) { return result.button == id::kNext || result.button == 1; }

std::u16string replace_macros(const engine::Session& session, std::u16string_view text) {
  std::u16string out(text);
  replace_all(out, u"<product>", session.derived.product_name);
  replace_all(out, u"<description>", session.derived.description);
  if (out.find(u"<os>") != std::u16string::npos) replace_all(out, u"<os>", session.sys.shell.windows_folder());
  return out;
}

platform::PageLook page_look(const engine::Session& session, int style, std::u16string banner_text) {
  platform::PageLook look;
  look.style = effective_style(style);
  look.font = session.settings.dialog_font;
  if (flag(session, package::pf::kColoredPages)) {
    look.has_colors = true;
    look.background = session.settings.dialog_bg;
    look.foreground = session.settings.dialog_fg;
  }
  look.banner_text_color = session.settings.banner_text_color;
  look.picture_frame = session.settings.side_picture_frame;
  const std::u16string title_override = msg(session, 114);
  look.banner_title = title_override.empty() ? replace_macros(session, session.settings.page_title) : title_override;
  look.banner_text = std::move(banner_text);
  return look;
}

// --- Language -------------------------------------------------------------------

std::size_t preselected_language(std::span<const std::u16string> names, std::u16string_view native_name) {
  std::u16string_view wanted = native_name.substr(0, native_name.find(u'('));
  const std::u16string name = trim(wanted);
  if (!name.empty()) {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return i;
  }
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == u"English") return i;
  return 0;
}

namespace {

// The language page's request with its texts in language `language`.
PageRequest language_request(const engine::Session& session, std::size_t language) {
  const package::MessageTable& table = session.settings.messages;
  auto text = [&](int n) { return replace_macros(session, table.text(n, language)); };
  const int style = static_cast<int>(session.settings.dialog_styles.language);
  PageRequest request;
  request.template_name = template_name(Page::kLanguage, style);
  const std::u16string page_text = text(94);
  request.look = page_look(session, style, page_text);
  request.caption = caption_text(effective_style(style) == 2 ? text(65) : page_text);
  request.list_items = table.languages;
  request.controls.push_back(control(id::kLanguageList, u"", static_cast<int>(language)));
  request.controls.push_back(control(id::kNext, text(48)));
  request.controls.push_back(control(id::kCancel, text(49)));
  request.focus_id = id::kLanguageList;
  return request;
}

}  // namespace

PageAnswer show_language_page(engine::Session& session, std::u16string_view native_name) {
  package::MessageTable& table = session.settings.messages;
  if (table.languages.empty()) return PageAnswer::kNext;
  const std::size_t start = preselected_language(table.languages, native_name);
  PageRequest request = language_request(session, start);
  request.on_select = [&session, &table](int index) {
    const std::size_t language =
        index >= 0 && static_cast<std::size_t>(index) < table.languages.size() ? static_cast<std::size_t>(index) : 0;
    return language_request(session, language);
  };
  const PageResult result = session.sys.ui.show_page(request);
  if (!is_next(result)) return PageAnswer::kCancel;
  // The selection is clamped to the list.
  int index = result_state(result, id::kLanguageList, static_cast<int>(start));
  if (index < 0) index = 0;
  if (static_cast<std::size_t>(index) >= table.languages.size()) index = static_cast<int>(table.languages.size()) - 1;
  table.chosen_language = static_cast<std::size_t>(index);
  return PageAnswer::kNext;
}

// --- Greeting -------------------------------------------------------------------

std::u16string link_markup(std::u16string_view text, std::u16string_view url) {
  std::u16string out(text);
  const std::size_t at = out.find(u"<a>");
  if (at != std::u16string::npos) out.replace(at, 3, u"<a href=\"" + std::u16string(url) + u"\">");
  return out;
}

PageAnswer show_greeting_page(engine::Session& session, int greeting_style, std::u16string_view link_url) {
  const std::u16string greeting = msg(session, 65);
  if (effective_style(greeting_style) == 0) {
    platform::MessageBoxRequest box;
    box.text = greeting;
    box.caption = msg(session, 20);
    box.icon = platform::BoxIcon::kInformation;
    box.buttons = platform::BoxButtons::kOkCancel;
    box.yes_text = msg(session, 48);
    box.no_text = msg(session, 49);
    return session.sys.ui.message_box(box) == platform::BoxResult::kOk ? PageAnswer::kNext : PageAnswer::kCancel;
  }
  const bool banner = effective_style(greeting_style) == 2;
  PageRequest request;
  request.template_name = template_name(Page::kGreeting, greeting_style);
  set_caption(session, request, greeting_style, msg(session, banner ? 103 : 65));
  request.controls.push_back(control(id::kText, banner ? u"\r\n\r\n" + greeting : greeting));
  if (!link_url.empty()) {
    request.controls.push_back(control(id::kLink, link_markup(msg(session, 105), link_url)));
    request.link_url = std::u16string(link_url);
  }
  request.controls.push_back(control(id::kNext, msg(session, 48)));
  request.controls.push_back(control(id::kCancel, msg(session, 49)));
  request.focus_id = id::kNext;
  return answer_of(session.sys.ui.show_page(request));
}

// --- Password -------------------------------------------------------------------

PageAnswer show_password_page(engine::Session& session, std::u16string_view password) {
  PageRequest request;
  request.template_name = std::string(kPasswordTemplate);
  request.caption = msg(session, 75);
  request.look = page_look(session, 1, u"");
  request.controls.push_back(control(id::kText, msg(session, 76)));
  request.controls.push_back(control(id::kPasswordLabel, msg(session, 27)));
  request.controls.push_back(control(id::kPassword, u""));
  request.controls.push_back(control(id::kNext, u"OK"));
  request.controls.push_back(control(id::kCancel, msg(session, 49)));
  request.focus_id = id::kPassword;
  while (true) {
    const PageResult result = session.sys.ui.show_page(request);
    if (!is_next(result)) return PageAnswer::kCancel;
    std::u16string entered = result_text(result, id::kPassword, u"");
    if (entered.size() > kMaxPasswordLength) entered.resize(kMaxPasswordLength);
    if (entered == password) return PageAnswer::kNext;
    // A wrong password: a short wait against guessing, then the page again.
    session.sys.clock.sleep(500);
    platform::MessageBoxRequest box;
    box.text = msg(session, 102);
    box.caption = msg(session, 21);
    box.icon = platform::BoxIcon::kError;
    session.sys.ui.message_box(box);
  }
}

// --- Licence and read-me ------------------------------------------------------------

bool is_rtf(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return bytes.starts_with("{\\rtf");
}

PageAnswer show_document_pages(engine::Session& session, bool licence) {
  struct Document {
    std::u16string text;
    bool rich = false;
  };
  std::vector<Document> documents;
  for (const std::string& bytes : licence ? session.settings.licence_texts : session.settings.readme_texts) {
    Document d;
    d.text = document_text(session, bytes, d.rich);
    if (!d.text.empty()) documents.push_back(std::move(d));
  }
  const std::u16string extra = msg(session, licence ? 63 : 64);
  if (!extra.empty()) {
    Document d{extra, is_rtf(support::utf16_to_utf8(extra))};
    if (d.rich) {
      // The viewer takes RTF as bytes, one character per byte.
      const std::string utf8 = support::utf16_to_utf8(extra);
      d.text.clear();
      for (unsigned char c : utf8) d.text += static_cast<char16_t>(c);
    }
    documents.push_back(std::move(d));
  }

  const int style = static_cast<int>(licence ? session.settings.dialog_styles.licence : session.settings.dialog_styles.readme);
  for (Document& document : documents) {
    PageRequest request;
    request.template_name = template_name(licence ? Page::kLicense : Page::kReadme, style);
    set_caption(session, request, style, licence ? msg(session, 44) : msg(session, 51));
    request.controls.push_back(control(id::kText, msg(session, licence ? 47 : 51)));
    request.controls.push_back(control(id::kViewer, document.text));
    request.rich_text = document.rich;
    const bool scroll_first = licence && flag2(session, package::pf2::kLicenceScrollToAccept);
    request.accept_after_scroll = scroll_first;
    request.controls.push_back(control(id::kNext, msg(session, licence ? 45 : 48), 0, !scroll_first));
    request.controls.push_back(control(id::kCancel, msg(session, licence ? 46 : 49)));
    request.focus_id = id::kViewer;
    if (!is_next(session.sys.ui.show_page(request))) return PageAnswer::kCancel;
  }
  return PageAnswer::kNext;
}

// --- Folder ---------------------------------------------------------------------

std::vector<PageControl> space_lines(engine::Session& session, const FolderPageOptions& options,
                                     const std::u16string& folder_text) {
  const char16_t letter = drive_letter(folder_text);
  std::uint32_t cluster = kDefaultClusterSize;
  std::optional<std::uint64_t> free;
  if (letter) {
    auto space = session.sys.files.free_space(std::u16string{letter, u':', u'\\'});
    if (space) {
      if (space->cluster_size != 0) cluster = space->cluster_size;
      free = space->free_to_caller;
    }
  }
  const std::uint64_t needed = space_needed(options.base_space, options.file_sizes, cluster);
  std::vector<PageControl> lines;
  lines.push_back(control(id::kSpaceNeeded, support::format_text(msg(session, 92), {format_size(needed)})));
  lines.push_back(control(id::kSpaceFree, free ? support::format_text(msg(session, 93), {format_size(*free)}) : u""));
  return lines;
}

std::vector<std::u16string> SystemFolderCheckHost::reserved_folders() {
  std::vector<std::u16string> folders;
  for (int id : {csidl::kCommonDesktopDirectory, csidl::kDesktopDirectory, csidl::kCommonStartMenu, csidl::kStartMenu,
                 csidl::kProfiles}) {
    auto folder = session_.sys.shell.special_folder(id);
    if (folder) folders.push_back(*folder);
  }
  return folders;
}

std::vector<std::u16string> SystemFolderCheckHost::program_files_folders() {
  std::vector<std::u16string> folders;
  for (int id : {csidl::kProgramFiles, csidl::kProgramFilesX86}) {
    auto folder = session_.sys.shell.special_folder(id);
    if (folder) folders.push_back(*folder);
  }
  // The 64-bit folder as a 32-bit process sees it.
  auto native = session_.sys.shell.environment_variable(u"ProgramW6432");
  if (native && !native->empty()) folders.push_back(*native);
  return folders;
}

platform::DriveType SystemFolderCheckHost::drive_type(const std::u16string& root) {
  return session_.sys.files.drive_type(root);
}

std::optional<bool> SystemFolderCheckHost::volume_read_only(const std::u16string& root) {
  auto flags = session_.sys.files.volume_flags(root);
  if (!flags) return std::nullopt;
  return (*flags & platform::volume::kReadOnlyVolume) != 0;
}

std::optional<std::uint64_t> SystemFolderCheckHost::free_space(const std::u16string& root) {
  auto space = session_.sys.files.free_space(root);
  if (!space) return std::nullopt;
  return space->free_to_caller;
}

bool SystemFolderCheckHost::directory_exists(const std::u16string& path) {
  return support::is_folder(session_.sys.files, path);
}

platform::SysError SystemFolderCheckHost::create_directories(const std::u16string& path) {
  // Every prefix ending before a backslash, after the root, then the path.
  std::size_t start = path.starts_with(u"\\\\") ? path.find(u'\\', path.find(u'\\', 2) + 1) : 3;
  platform::SysError last = platform::err::kSuccess;
  for (std::size_t at = path.find(u'\\', start); ; at = path.find(u'\\', at + 1)) {
    const std::u16string prefix = at == std::u16string::npos ? path : path.substr(0, at);
    if (!directory_exists(prefix)) {
      last = session_.sys.files.create_directory(prefix);
      if (last == platform::err::kAlreadyExists) last = platform::err::kSuccess;
      if (last != platform::err::kSuccess) return last;
    }
    if (at == std::u16string::npos) break;
  }
  return last;
}

platform::SysError SystemFolderCheckHost::probe_temporary_file(const std::u16string& folder) {
  auto name = session_.sys.files.temp_file_name(folder, u"hs");
  if (!name) return name.error();
  return session_.sys.files.delete_file(*name);
}

std::u16string SystemFolderCheckHost::error_text(platform::SysError error) { return session_.sys.info.error_text(error); }

void SystemFolderCheckHost::show_error(const std::u16string& text) {
  platform::MessageBoxRequest box;
  box.text = text;
  box.caption = msg(session_, 21);
  box.icon = platform::BoxIcon::kError;
  session_.sys.ui.message_box(box);
}

bool SystemFolderCheckHost::ask_yes_no(const std::u16string& text, const std::u16string& title) {
  platform::MessageBoxRequest box;
  box.text = text;
  box.caption = title;
  box.icon = platform::BoxIcon::kQuestion;
  box.buttons = platform::BoxButtons::kYesNo;
  return session_.sys.ui.message_box(box) == platform::BoxResult::kYes;
}

PageAnswer show_folder_page(engine::Session& session, std::u16string& folder, const FolderPageOptions& options,
                            FolderCheckHost& host) {
  const int style = static_cast<int>(session.settings.dialog_styles.choose_folder);
  const bool show_space = flag2(session, package::pf2::kShowDiskSpace);
  std::u16string text = folder;
  while (true) {
    PageRequest request;
    request.template_name = template_name(Page::kChooseDir, style);
    set_caption(session, request, style, msg(session, 24));
    request.controls.push_back(control(id::kText, msg(session, 11)));
    request.controls.push_back(control(id::kEdit, text));
    request.controls.push_back(control(id::kBrowse, msg(session, 52)));
    if (show_space) {
      for (PageControl& line : space_lines(session, options, text)) request.controls.push_back(std::move(line));
      request.on_edit = [&session, &options](int id, const std::u16string& edited) {
        return id == id::kEdit ? space_lines(session, options, edited) : std::vector<PageControl>{};
      };
    }
    request.controls.push_back(control(id::kNext, msg(session, 90)));
    request.controls.push_back(control(id::kCancel, msg(session, 49)));
    request.focus_id = id::kEdit;
    platform::FolderPicker picker;
    picker.edit_id = id::kEdit;
    picker.title = msg(session, 11);
    picker.file_system_only = flag(session, package::pf::kLocalFoldersOnly);
    request.browse = picker;

    const PageResult result = session.sys.ui.show_page(request);
    if (!is_next(result)) return PageAnswer::kCancel;
    text = result_text(result, id::kEdit, text);
    if (text.size() > kMaxFolderLength) text.resize(kMaxFolderLength);

    FolderCheckOptions check;
    check.file_system_only = flag(session, package::pf::kLocalFoldersOnly);
    check.refuse_removable = flag(session, package::pf::kRefuseRemovableDrives);
    check.ascii_only = flag2(session, package::pf2::kAsciiFolderOnly);
    check.confirm_folder = flag(session, package::pf::kConfirmInstallFolder);
    check.new_installation = options.new_installation;
    check.automatic = session.modes.automatic;
    const char16_t letter = drive_letter(normalize_folder_text(text));
    std::uint32_t cluster = kDefaultClusterSize;
    if (letter) {
      auto space = session.sys.files.free_space(std::u16string{letter, u':', u'\\'});
      if (space && space->cluster_size != 0) cluster = space->cluster_size;
    }
    check.space_needed = space_needed(options.base_space, options.file_sizes, cluster);
    FolderCheckResult checked = check_install_folder(text, check, host, session.message);
    if (checked.accepted) {
      folder = checked.folder;
      return PageAnswer::kNext;
    }
  }
}

// --- Start menu -----------------------------------------------------------------------

PageAnswer show_start_menu_page(engine::Session& session, std::u16string& name) {
  const int style = static_cast<int>(session.settings.dialog_styles.start_menu);
  std::u16string text = name;
  while (true) {
    PageRequest request;
    request.template_name = template_name(Page::kStartMenu, style);
    set_caption(session, request, style, msg(session, 89));
    request.controls.push_back(control(id::kText, msg(session, 88)));
    request.controls.push_back(control(id::kEdit, text));
    request.controls.push_back(control(id::kBrowse, msg(session, 52)));
    request.controls.push_back(control(id::kNext, msg(session, 90), 0, is_valid_start_menu_name(text)));
    request.controls.push_back(control(id::kCancel, msg(session, 49)));
    request.focus_id = id::kEdit;
    request.on_edit = [&session](int id, const std::u16string& edited) {
      std::vector<PageControl> changes;
      if (id == id::kEdit) changes.push_back(control(id::kNext, msg(session, 90), 0, is_valid_start_menu_name(edited)));
      return changes;
    };
    platform::FolderPicker picker;
    picker.edit_id = id::kEdit;
    picker.title = msg(session, 88);
    picker.root_csidl = session.settings.shortcut_mode == 1 ? csidl::kCommonPrograms : csidl::kPrograms;
    request.browse = picker;

    const PageResult result = session.sys.ui.show_page(request);
    if (!is_next(result)) return PageAnswer::kCancel;
    text = result_text(result, id::kEdit, text);
    if (text.size() > kMaxFolderLength) text.resize(kMaxFolderLength);
    // The next button is disabled for a bad name; a backend that let it
    // through gets the page again.
    if (is_valid_start_menu_name(text)) {
      name = text;
      return PageAnswer::kNext;
    }
  }
}

// --- Summary ------------------------------------------------------------------------

SummaryChoice show_summary(engine::Session& session, const SummaryOffer& offer) {
  SummaryChoice choice;
  if (session.modes.automatic || flag(session, package::pf::kNoSummary)) return choice;
  const bool anything = offer.launch_program || offer.open_document || offer.open_second_item || offer.show_log;
  if (!anything || offer.restart_pending) {
    platform::MessageBoxRequest box;
    box.text = msg(session, 43);
    box.caption = msg(session, 42);
    box.icon = platform::BoxIcon::kInformation;
    session.sys.ui.message_box(box);
    return choice;
  }
  const int style = static_cast<int>(session.settings.dialog_styles.summary);
  PageRequest request;
  request.template_name = template_name(Page::kSummary, style);
  set_caption(session, request, style, msg(session, 43));
  request.controls.push_back(control(id::kText, msg(session, 42)));
  request.controls.push_back(control(id::kNext, msg(session, 95)));
  // Each check box only when it has something to offer; all but the log
  // view start checked.
  struct Box {
    int id;
    int text;
    bool offered;
    int initial;
  } boxes[] = {{id::kLaunchProgram, 84, offer.launch_program, 1},
               {id::kOpenDocument, 83, offer.open_document, 1},
               {id::kOpenSecondItem, 87, offer.open_second_item, 1},
               {id::kShowLog, 85, offer.show_log, 0}};
  for (const Box& b : boxes) {
    PageControl c = control(b.id, msg(session, b.text), b.offered ? b.initial : 0);
    c.visible = b.offered;
    request.controls.push_back(std::move(c));
  }
  request.focus_id = id::kNext;
  // Closing the page any way stores the states.
  const PageResult result = session.sys.ui.show_page(request);
  auto checked = [&](const Box& b) { return b.offered && result_state(result, b.id, b.initial) != 0; };
  choice.launch_program = checked(boxes[0]);
  choice.open_document = checked(boxes[1]);
  choice.open_second_item = checked(boxes[2]);
  choice.show_log = checked(boxes[3]);
  return choice;
}

// --- Abort path ---------------------------------------------------------------------

void abort_run(engine::Session& session, bool after_changes) {
  if (!session.modes.automatic && !session.modes.silent) {
    platform::MessageBoxRequest box;
    box.text = session.message_or(after_changes ? 101 : 98, u"The installation was cancelled.");
    box.caption = session.message_or(111, u"Installation Cancelled");
    box.icon = platform::BoxIcon::kWarning;
    session.sys.ui.message_box(box);
  }
  engine::exit_run(session, 12);
}

}  // namespace hs::wizard
