#include "ui/HelpViewer.h"

#include "ui/Form1.h"
#include "ui/Modal.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

class HelpViewer : public QDialog {
public:
    HelpViewer() {
        setAttribute(Qt::WA_DeleteOnClose);
        resize(640, 560);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(m_browser);
        // Qt's own button texts are not translated here: the button carries the program's text.
        auto *buttons = new QDialogButtonBox(this);
        buttons->addButton(QCoreApplication::translate("Help", "閉じる"), QDialogButtonBox::RejectRole);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
        m_browser->setOpenExternalLinks(true);
        connect(m_browser, &QTextBrowser::sourceChanged, this, [this] { setWindowTitle(m_browser->documentTitle()); });
    }

    void showPage(const QUrl &page) {
        QUrl file = page;
        file.setFragment(QString());
        if (m_browser->source() != file) m_browser->setSource(file);
        if (page.hasFragment()) m_browser->scrollToAnchor(page.fragment());
        QDialog::show();
        raise();
        activateWindow();
    }

private:
    QTextBrowser *m_browser = new QTextBrowser(this);
};

void tellPageIsMissing(const QString &path) {
    QMessageBox box(QMessageBox::Warning, applicationTitle(),
                    QCoreApplication::translate("Help", "ヘルプのファイル %1 が見つかりません。").arg(path),
                    QMessageBox::Ok);
    execModal(&box);
}

}  // namespace

void showHelpInViewer(const QUrl &page) {
    static QPointer<HelpViewer> viewer;
    if (!viewer) viewer = new HelpViewer;
    viewer->showPage(page);
}

void showHelpPage(const QUrl &page) {
    if (!QFileInfo::exists(page.toLocalFile())) return tellPageIsMissing(page.toLocalFile());
    // Never deleted while it runs: a browser that the opener runs in the foreground outlives the
    // player instead of being killed with it.
    auto *opener = new QProcess;
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(opener, &QProcess::finished, opener, [opener, page](int status, QProcess::ExitStatus how) {
        if (how != QProcess::NormalExit || status != 0) showHelpInViewer(page);
        opener->deleteLater();
    });
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, page](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        showHelpInViewer(page);
        opener->deleteLater();
    });
    opener->start(QStringLiteral("xdg-open"), {page.toString()});
}
