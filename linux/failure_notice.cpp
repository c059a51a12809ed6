#include "linux/failure_notice.h"

#include <gtk/gtk.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "noctiva_dialog_texts.h"
#include "resources/resource.h"
#include "settings/dialog_template.h"

extern char** environ;

namespace {

// The failure handed to the fresh process.
constexpr const char* kKindVariable = "NOCTIVA_NOTICE_KIND";
constexpr const char* kFileVariable = "NOCTIVA_NOTICE_FILE";
constexpr const char* kReasonVariable = "NOCTIVA_NOTICE_REASON";

std::string MessageText(const DialogTexts& texts, const PlayerFailure& failure) {
    const std::string pattern =
        UnixLineBreaks(FindResourceString(texts.strings, FailureMessageId(failure.kind)));
    return FillFailureMessage<char>(pattern, failure.file, failure.reason);
}

void ShowDialog(const PlayerFailure& failure) {
    if (!gtk_init_check(nullptr, nullptr)) return;
    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    const DialogTexts& texts = DialogTextsForLocale(messages ? messages : "");
    const std::string text = MessageText(texts, failure);
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                               GTK_BUTTONS_OK, "%s", text.c_str());
    const std::string title(FindResourceString(texts.strings, IDS_WINDOW_TITLE));
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    while (gtk_events_pending()) gtk_main_iteration();
}

// Runs this program again to show the dialog and waits for it; false when it cannot start.
bool ShowDialogInFreshProcess(const PlayerFailure& failure) {
    setenv(kKindVariable, FailureKindName(failure.kind), 1);
    setenv(kFileVariable, failure.file.c_str(), 1);
    setenv(kReasonVariable, failure.reason.c_str(), 1);
    char name[] = "noctiva";
    char* arguments[] = {name, nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, arguments, environ) != 0) {
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace

void TellFailure(const PlayerFailure& failure) {
    std::fprintf(stderr, "noctiva: %s\n", FailureLine(failure).c_str());
    std::fflush(stderr);
    if (!ShowDialogInFreshProcess(failure)) ShowDialog(failure);
}

bool ShowRequestedFailureNotice() {
    const char* kind = std::getenv(kKindVariable);
    if (!kind) return false;
    PlayerFailure failure;
    const char* file = std::getenv(kFileVariable);
    const char* reason = std::getenv(kReasonVariable);
    failure.file = file ? file : "";
    failure.reason = reason ? reason : "";
    if (!FailureKindFromName(kind, failure.kind)) failure.kind = FailureKind::Playback;
    unsetenv(kKindVariable);  // not for whatever GTK may start
    ShowDialog(failure);
    return true;
}
