#include "ui/Modal.h"

#include "ui/HelpViewer.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QUrl>

#include <vector>

namespace {
ModalHook &modalHook() {
    static ModalHook hook;
    return hook;
}
HelpHook &helpHook() {
    static HelpHook hook;
    return hook;
}
int s_openModals = 0;
std::vector<std::function<void()>> &modalListeners() {
    static std::vector<std::function<void()>> listeners;
    return listeners;
}
void tellModalListeners() {
    for (const auto &listener : modalListeners()) listener();
}
}  // namespace

void setModalHook(ModalHook hook) { modalHook() = std::move(hook); }

int execModal(QDialog *dialog) {
    struct Open {
        Open() {
            ++s_openModals;
            tellModalListeners();
        }
        ~Open() {
            --s_openModals;
            tellModalListeners();
        }
    } open;
    if (modalHook()) return modalHook()(dialog);
    return dialog->exec();
}

// The error box is run by the error display itself: the application's modal widget tells of it.
bool isModalDialogOpen() { return s_openModals > 0 || QApplication::activeModalWidget() != nullptr; }

void addModalListener(std::function<void()> listener) { modalListeners().push_back(std::move(listener)); }

void setHelpHook(HelpHook hook) { helpHook() = std::move(hook); }

void showHelpTopic(const QString &helpFile, int context) {
    if (helpHook()) return helpHook()(helpFile, context);
    QUrl url = QUrl::fromLocalFile(QFileInfo(helpFile).absoluteFilePath());
    url.setFragment(QStringLiteral("context-%1").arg(context));
    showHelpPage(url);
}
