// The readers of the project file's sections, one per section: each takes
// its table and fills the settings (or the package options) it describes.
// Sections that need bits of `ProductFlags` set them; the options section
// is read first so that they win over its raw words.
#pragma once

#include <string>
#include <vector>

#include "package/association_record.h"
#include "package/auto_close_rule.h"
#include "package/conditional_deletion.h"
#include "package/registry_entry_list.h"
#include "package/registry_value.h"
#include "package/settings.h"
#include "package/shortcut_record.h"
#include "project/project.h"
#include "project/project_section.h"

namespace hs::tools {

// [product] and [product.master]: identity, folders, icons, versions.
void read_product(ProjectSection& s, package::Settings& st);
// [options]: raw flag words and option bits by name.
void read_options(ProjectSection& s, package::Settings& st);
// [wizard], [wizard.colors], [wizard.second_colors]: pages and their styles.
void read_wizard(ProjectSection& s, package::Settings& st);
// [backdrop] and [backdrop.copyright]: the background window.
void read_backdrop(ProjectSection& s, package::Settings& st);
// [batches]: the seven batch texts, with CR LF line ends.
void read_batches(ProjectSection& s, package::Settings& st);
// [web]: notification and report addresses.
void read_web(ProjectSection& s, package::Settings& st);
// [registry_merge]: the .reg file imported during installation.
void read_registry_merge(ProjectSection& s, package::Settings& st);
// [build]: compression and cipher key of the package.
void read_build(ProjectSection& s, Project& p);
// [languages] and [messages], taken from the root table: the message table,
// every language starting from the built-in English texts.
void read_messages(ProjectSection& root, package::Settings& st);

// One row of each array of tables.
void read_registry(ProjectSection& s, std::vector<package::RegistryEntry>& entries);  // [[registry]]
package::RegistryValue read_uninstall_value(ProjectSection& s);                       // [[uninstall_values]]
package::ShortcutRecord read_shortcut(ProjectSection& s);                             // [[shortcuts]]
package::AssociationRecord read_association(ProjectSection& s);                       // [[associations]]
std::string read_firewall(ProjectSection& s);  // [[firewall]]: one line of the firewall entry list
package::AutoCloseRule read_auto_close(ProjectSection& s);                            // [[auto_close]]
package::ConditionalDeletion read_conditional_deletion(ProjectSection& s);            // [[conditional_deletions]]

}  // namespace hs::tools
