#include "ui/Modal.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QUrl>

namespace {
ModalHook &modalHook() {
    static ModalHook hook;
    return hook;
}
HelpHook &helpHook() {
    static HelpHook hook;
    return hook;
}
}  // namespace

void setModalHook(ModalHook hook) { modalHook() = std::move(hook); }

int execModal(QDialog *dialog) {
    if (modalHook()) return modalHook()(dialog);
    return dialog->exec();
}

void setHelpHook(HelpHook hook) { helpHook() = std::move(hook); }

void showHelpTopic(const QString &helpFile, int context) {
    if (helpHook()) return helpHook()(helpFile, context);
    QUrl url = QUrl::fromLocalFile(QFileInfo(helpFile).absoluteFilePath());
    url.setFragment(QStringLiteral("context-%1").arg(context));
    QDesktopServices::openUrl(url);
}
