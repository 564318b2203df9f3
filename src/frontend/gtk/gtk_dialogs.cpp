// The desktop dialogs on Linux, drawn with GTK 3. This file is built as a
// module of its own that korvane opens only in dialog mode: the console path
// neither links nor loads GTK.
#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "frontend/dialogs.hpp"
#include "frontend/gtk/file_pattern.hpp"
#include "frontend/gtk/gtk_module.hpp"
#include "frontend/texts.hpp"

namespace kvn::frontend::gtk {
namespace {

struct GFreeDeleter {
  void operator()(gchar* p) const { g_free(p); }
};
using GChars = std::unique_ptr<gchar, GFreeDeleter>;

// GTK's own catalogue already translates the standard button labels, so the
// buttons read in the user's language as the Windows boxes' buttons do.
const char* gtk_label(const char* msgid) { return g_dgettext("gtk30", msgid); }

// A destroyed window stays on the screen until its unmap is processed; without
// this the dialog would hang there, frozen, while the conversion runs.
void let_windows_close() {
  while (gtk_events_pending()) gtk_main_iteration();
}

// Paths are bytes on Linux, but GTK shows only UTF-8.
GChars displayable(const std::string& path) {
  return GChars(g_filename_display_name(path.c_str()));
}

// The patterns of one type, kept alive as long as the filter that uses them.
struct Patterns {
  std::vector<std::string> patterns;  // "*.dst"; none: every file
};

gboolean matches_type(const GtkFileFilterInfo* info, gpointer data) {
  const auto* p = static_cast<const Patterns*>(data);
  if (p->patterns.empty()) return TRUE;
  if (info->display_name == nullptr) return FALSE;
  for (const auto& pattern : p->patterns)
    if (matches_file_pattern(info->display_name, pattern)) return TRUE;
  return FALSE;
}

void delete_patterns(gpointer data) { delete static_cast<Patterns*>(data); }

// "DST designs (*.dst)", matched as Windows matches "*.DST": in any letter case.
GtkFileFilter* filter_for(const FileType& type) {
  auto* p = new Patterns;
  std::string name = type.description + " (";
  if (type.extensions.empty()) name += "*";
  for (std::size_t i = 0; i < type.extensions.size(); ++i) {
    p->patterns.push_back("*." + type.extensions[i]);
    name += (i ? " " : "") + p->patterns.back();
  }
  name += ")";
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, name.c_str());
  gtk_file_filter_add_custom(filter, GTK_FILE_FILTER_DISPLAY_NAME, matches_type, p,
                             delete_patterns);
  return filter;
}

bool has_extension(const std::string& name, const std::vector<std::string>& extensions) {
  for (const auto& e : extensions)
    if (matches_file_pattern(name, "*." + e)) return true;
  return false;
}

enum class Buttons { kOk, kYesNo };

// A modal box without an owner window, like a MessageBox: the caption is its
// window title, then the icon beside the text, whose first line (the
// caption's statement) is set in bold so that it reads as the box's heading.
// Returns the response; closing the window gives GTK_RESPONSE_DELETE_EVENT.
int run_message_box(const Box& b, Buttons buttons) {
  GtkWidget* box = gtk_dialog_new();
  GtkWindow* window = GTK_WINDOW(box);
  gtk_window_set_title(window, b.caption.c_str());
  gtk_window_set_modal(window, TRUE);
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_position(window, GTK_WIN_POS_CENTER);
  gtk_container_set_border_width(GTK_CONTAINER(box), 6);

  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_container_set_border_width(GTK_CONTAINER(row), 6);
  const char* icon_name = b.icon == BoxIcon::kWarning ? "dialog-warning" : "dialog-information";
  GtkWidget* icon = gtk_image_new_from_icon_name(icon_name, GTK_ICON_SIZE_DIALOG);
  gtk_widget_set_valign(icon, GTK_ALIGN_START);
  gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
  const auto newline = b.text.find('\n');
  const std::string heading = b.text.substr(0, newline);
  const std::string rest = newline == std::string::npos ? "" : b.text.substr(newline + 1);
  // Markup only around escaped text: a path may hold '<' or '&'.
  const GChars bold(g_markup_printf_escaped("<b>%s</b>", displayable(heading).get()));
  GtkWidget* title = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(title), bold.get());
  gtk_label_set_xalign(GTK_LABEL(title), 0.0F);
  gtk_box_pack_start(GTK_BOX(column), title, FALSE, FALSE, 0);
  // A long path with no blanks must still wrap rather than widen the box
  // past the screen.
  GtkWidget* label = gtk_label_new(displayable(rest).get());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
  gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
  gtk_box_pack_start(GTK_BOX(column), label, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), column, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(box))), row);
  gtk_widget_show_all(row);

  // Enter answers with the first button, as MessageBox's default button does.
  if (buttons == Buttons::kOk) {
    gtk_dialog_add_button(GTK_DIALOG(box), gtk_label("_OK"), GTK_RESPONSE_OK);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
  } else {
    gtk_dialog_add_button(GTK_DIALOG(box), gtk_label("_Yes"), GTK_RESPONSE_YES);
    gtk_dialog_add_button(GTK_DIALOG(box), gtk_label("_No"), GTK_RESPONSE_NO);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_YES);
  }

  const int response = gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  let_windows_close();
  return response;
}

class GtkDialogs final : public Dialogs {
 public:
  std::vector<std::string> open_files(const std::vector<FileType>& types) override {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        texts::kOpenTitle, nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, gtk_label("_Cancel"),
        GTK_RESPONSE_CANCEL, gtk_label("_Open"), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_select_multiple(chooser, TRUE);

    for (const auto& type : types) gtk_file_chooser_add_filter(chooser, filter_for(type));
    // Left alone, GTK opens on "Recent"; a console user expects the folder
    // they started korvane in.
    const GChars here(g_get_current_dir());
    gtk_file_chooser_set_current_folder(chooser, here.get());

    std::vector<std::string> chosen;
    // Cancel, Escape and closing the window all end here as a cancel.
    while (chosen.empty() && gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
      GSList* names = gtk_file_chooser_get_filenames(chooser);
      // Only existing files in existing folders are an answer. GTK's open
      // mode already refuses a missing name; this also keeps out what is no
      // plain file (a device, a pipe) or vanished meanwhile, and the dialog
      // stays open until there is an answer.
      bool all_files = names != nullptr;
      for (GSList* n = names; n != nullptr; n = n->next) {
        const auto* name = static_cast<const gchar*>(n->data);
        if (!g_file_test(name, G_FILE_TEST_IS_REGULAR)) all_files = false;
        chosen.emplace_back(name);
      }
      g_slist_free_full(names, g_free);
      if (!all_files) {
        chosen.clear();
        gtk_widget_error_bell(dialog);
      }
    }
    gtk_widget_destroy(dialog);
    let_windows_close();
    return chosen;
  }

  std::optional<SaveAnswer> save_file(const SaveRequest& request) override {
    if (request.types.empty()) return std::nullopt;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        request.title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_SAVE, gtk_label("_Cancel"),
        GTK_RESPONSE_CANCEL, gtk_label("_Save"), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    std::vector<GtkFileFilter*> filters;
    for (const auto& type : request.types) {
      filters.push_back(filter_for(type));
      gtk_file_chooser_add_filter(chooser, filters.back());
    }
    const std::size_t first = request.type < filters.size() ? request.type : 0;
    gtk_file_chooser_set_filter(chooser, filters[first]);
    if (!request.folder.empty()) gtk_file_chooser_set_current_folder(chooser, request.folder.c_str());
    const auto& first_extensions = request.types[first].extensions;
    std::string suggested = request.name;
    if (!first_extensions.empty()) suggested += "." + first_extensions.front();
    gtk_file_chooser_set_current_name(chooser, displayable(suggested).get());

    std::optional<SaveAnswer> answer;
    while (!answer && gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
      const GChars name(gtk_file_chooser_get_filename(chooser));
      if (name == nullptr) continue;
      std::size_t type = first;
      GtkFileFilter* chosen = gtk_file_chooser_get_filter(chooser);
      for (std::size_t i = 0; i < filters.size(); ++i)
        if (filters[i] == chosen) type = i;
      std::string path = name.get();
      const auto& extensions = request.types[type].extensions;
      // The type chosen gives the format; a name typed without its extension
      // gets it, so that the file opens as what it is. The overwrite question
      // was asked for the name as typed: ask again for the name with it.
      if (!extensions.empty() && !has_extension(path, extensions)) {
        path += "." + extensions.front();
        if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
          const std::string shown = displayable(path).get();
          const Box replace{"KORVANE: replace the file?",
                            "KORVANE: replace the file?\n" + shown +
                                "\n\nIt exists already. Replace it?",
                            BoxIcon::kWarning};
          if (run_message_box(replace, Buttons::kYesNo) != GTK_RESPONSE_YES) continue;
        }
      }
      answer = SaveAnswer{path, type};
    }
    gtk_widget_destroy(dialog);
    let_windows_close();
    return answer;
  }

  std::optional<std::string> choose_folder(const std::string& title,
                                           const std::string& start) override {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, gtk_label("_Cancel"),
        GTK_RESPONSE_CANCEL, gtk_label("_Select"), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_create_folders(chooser, TRUE);
    if (!start.empty()) gtk_file_chooser_set_current_folder(chooser, start.c_str());
    std::optional<std::string> folder;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
      const GChars name(gtk_file_chooser_get_filename(chooser));
      if (name != nullptr) folder = name.get();
    }
    gtk_widget_destroy(dialog);
    let_windows_close();
    return folder;
  }

  void show(const Box& box) override { run_message_box(box, Buttons::kOk); }

  bool ask(const Box& box) override {
    return run_message_box(box, Buttons::kYesNo) == GTK_RESPONSE_YES;
  }
};

void tell(char* why, std::size_t why_size, const char* reason) {
  if (why != nullptr && why_size > 0) std::snprintf(why, why_size, "%s", reason);
}

}  // namespace
}  // namespace kvn::frontend::gtk

extern "C" __attribute__((visibility("default"))) kvn::frontend::Dialogs* kvn_create_gtk_dialogs_v2(
    char* why, std::size_t why_size) noexcept {
  static_assert(std::is_same_v<decltype(&kvn_create_gtk_dialogs_v2), KvnCreateGtkDialogs>,
                "the loader calls the entry through KvnCreateGtkDialogs");
  // The window class, so desktops match the windows to korvane.desktop.
  g_set_prgname("korvane");
  // GTK would switch every locale category to the user's; numbers and the
  // like must keep the "C" forms that the conversion writes. Text handling and
  // message catalogues follow the user.
  gtk_disable_setlocale();
  std::setlocale(LC_CTYPE, "");
  std::setlocale(LC_MESSAGES, "");
  if (!gtk_init_check(nullptr, nullptr)) {
    kvn::frontend::gtk::tell(why, why_size, "GTK cannot open the display");
    return nullptr;
  }
  auto* dialogs = new (std::nothrow) kvn::frontend::gtk::GtkDialogs();
  if (dialogs == nullptr) kvn::frontend::gtk::tell(why, why_size, "out of memory");
  return dialogs;
}
