// The wizard's pages: what each shows and what its answer means.
//
// Each page function fills a page request (template, caption, the texts of
// every control from the message table, enabled and check states), shows it
// through the user interface and reads the answer. Buttons: 1001 goes on,
// 1003 cancels (the user interface's 1 and 2 count the same). The caller
// turns a cancel into the abort path below.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/session.h"
#include "platform/control_ids.h"
#include "platform/ui.h"
#include "wizard/folder_check.h"
#include "wizard/page_style.h"

namespace hs::wizard {

// Control ids of the templates (src/resources/dialogs.rc).
namespace id = platform::control;

// Longest texts the edits take.
inline constexpr std::size_t kMaxPasswordLength = 64;
inline constexpr std::size_t kMaxFolderLength = 259;

// The answer of a page.
enum class PageAnswer { kNext, kCancel };

// Whether a page closed with its go-on button.
bool is_next(const platform::PageResult& result);

// "<product>", "<description>" and "<os>" replaced by the session's values.
std::u16string replace_macros(const engine::Session& session, std::u16string_view text);

// A window caption from a message: its first line (a caption cannot show
// line breaks; the greeting text, message 65, has several lines).
std::u16string caption_text(std::u16string_view text);

// The look shared by all pages of `style`: dialog font, colours with
// ProductFlags bit 52, banner colour and texts, picture frame.
platform::PageLook page_look(const engine::Session& session, int style, std::u16string banner_text);

// --- Language ---------------------------------------------------------------

// The entry to preselect: the one equal to `native_name` (the user's
// language as the system writes it in that language) cut at the first "("
// and trimmed; else "English"; else the first.
std::size_t preselected_language(std::span<const std::u16string> names, std::u16string_view native_name);

// Shows the language page over the package's languages and sets the
// chosen language of the message table on 1001.
PageAnswer show_language_page(engine::Session& session, std::u16string_view native_name);

// --- Greeting ---------------------------------------------------------------

// `greeting_style` picks the template; style 0 is a confirmation box.
// `link_url` (may be empty) is put into message 105's "<a>" link.
PageAnswer show_greeting_page(engine::Session& session, int greeting_style, std::u16string_view link_url);

// Message 105 with its first "<a>" turned into a link to `url`.
std::u16string link_markup(std::u16string_view text, std::u16string_view url);

// --- Password ---------------------------------------------------------------

// Keeps asking until the text equals `password` exactly (1001) or the user
// cancels. A wrong text waits 500 ms and shows message 102.
PageAnswer show_password_page(engine::Session& session, std::u16string_view password);

// --- Licence and read-me ------------------------------------------------------

// Whether a stored document text is RTF ("{\rtf", possibly after a UTF-8
// byte-order mark).
bool is_rtf(std::string_view bytes);

// The document pages of the licence (`licence` true) or read-me list, one
// per non-empty text, then message 63 or 64 when not empty. Stops at the
// first page not accepted.
PageAnswer show_document_pages(engine::Session& session, bool licence);

// --- Folder -------------------------------------------------------------------

struct FolderPageOptions {
  std::uint64_t base_space = 0;             // engine's own share of the space needed
  std::vector<std::uint64_t> file_sizes;    // every file entry of the package
  bool new_installation = true;
};

// The space lines 1036 and 1037 for the folder text (pf2 bit 22).
std::vector<platform::PageControl> space_lines(engine::Session& session, const FolderPageOptions& options,
                                               const std::u16string& folder_text);

// Host of the folder checks on the session's system.
class SystemFolderCheckHost : public FolderCheckHost {
 public:
  explicit SystemFolderCheckHost(engine::Session& session) : session_(session) {}
  std::vector<std::u16string> reserved_folders() override;
  std::vector<std::u16string> program_files_folders() override;
  platform::DriveType drive_type(const std::u16string& root) override;
  std::optional<bool> volume_read_only(const std::u16string& root) override;
  std::optional<std::uint64_t> free_space(const std::u16string& root) override;
  bool directory_exists(const std::u16string& path) override;
  [[nodiscard]] platform::SysError create_directories(const std::u16string& path) override;
  [[nodiscard]] platform::SysError probe_temporary_file(const std::u16string& folder) override;
  std::u16string error_text(platform::SysError error) override;
  void show_error(const std::u16string& text) override;
  bool ask_yes_no(const std::u16string& text, const std::u16string& title) override;

 private:
  engine::Session& session_;
};

// Shows the folder page with `folder` until the checks accept a folder
// (stored in `folder`) or the user cancels.
PageAnswer show_folder_page(engine::Session& session, std::u16string& folder, const FolderPageOptions& options,
                            FolderCheckHost& host);

// --- Start menu ---------------------------------------------------------------

// Shows the Start-menu page with `name`; on 1001 `name` holds the text.
PageAnswer show_start_menu_page(engine::Session& session, std::u16string& name);

// --- Summary ------------------------------------------------------------------

// What the summary page can offer.
struct SummaryOffer {
  bool launch_program = false;    // a program to launch is set (1025)
  bool open_document = false;     // a document to open is set (1023)
  bool open_second_item = false;  // a second item to open is set (1029)
  bool show_log = false;          // ProductFlags bit 57, and the log offer not withdrawn (1027)
  bool restart_pending = false;   // a restart will be asked: the page is not shown
};

// The user's choices on the summary page (all false when not shown).
struct SummaryChoice {
  bool launch_program = false;
  bool open_document = false;
  bool open_second_item = false;
  bool show_log = false;
};

SummaryChoice show_summary(engine::Session& session, const SummaryOffer& offer);

// --- Abort path ---------------------------------------------------------------

// The user cancelled: unless in automatic mode shows message 98 (101 when
// `after_changes`, as in uninstallation) with title 111 and a warning icon,
// then ends the run with exit code 12 through the exit routine (which
// closes the progress page and the backdrop and stops background work).
[[noreturn]] void abort_run(engine::Session& session, bool after_changes);

}  // namespace hs::wizard
