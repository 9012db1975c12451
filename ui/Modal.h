#pragma once

#include <QString>

#include <functional>

class QDialog;

// Every modal dialog and message box of the program is run through here, so that tests can
// answer them without a user.
using ModalHook = std::function<int(QDialog *dialog)>;
void setModalHook(ModalHook hook);  // empty: run the dialog for real
int execModal(QDialog *dialog);
// True while a modal dialog or message box of the program is open: the program then waits for the
// user's answer and must not end under it.
bool isModalDialogOpen();
// Calls `listener` whenever a dialog run through execModal opens or closes.
void addModalListener(std::function<void()> listener);

// Opens the help document at the topic of `context` in the desktop's browser, or in the program's
// own viewer where the desktop cannot show it.
void showHelpTopic(const QString &helpFile, int context);
using HelpHook = std::function<void(const QString &helpFile, int context)>;
void setHelpHook(HelpHook hook);
