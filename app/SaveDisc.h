#pragma once

#include "save/DiscSaver.h"
#include "ui/SaveWindow.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

// Saving the disc in the player as files, from the window: the popup menu's "ディスクを保存..."
// (and Ctrl+S on the player's windows) opens the save window; its Start runs the saving engine on
// what the drive plays, into the folder chosen (the desktop's music folder at first, then the
// last one, kept in ROTOR.INI as [Save] Folder). Files of the same names are replaced only after
// the user's yes. The task bar shows the progress and a notification the result. While a disc
// in a drive is being saved, playing it is refused with the reason (the drive is busy reading);
// an image or a rip plays meanwhile. UI thread only.

// Adds the menu item and the key, and makes play ask the save first. Call once the windows exist.
void setUpDiscSaving();

// The folder that the user typed, as a full path: "~" is the home folder, and a relative path
// starts there too (the player's own working folder means nothing to the user). "" for none.
QString saveFolderOf(const QString &typed);

// Why the player's choice of disc (`playerChoice`: "" the system's drive, a device node, an image
// or a rip) cannot play while the save reads the drive `deviceInUse` ("" when no drive is read):
// the reason for the user, or "" when it can play.
QString playRefusalFor(const QString &deviceInUse, const QString &playerChoice);

class DiscSaving : public QObject {
    Q_OBJECT
public:
    explicit DiscSaving(QObject *parent);
    // A save under way is cancelled (the engine cleans up) and the task bar forgets its progress.
    ~DiscSaving() override;

    // Opens the save window (or brings it forward), listing the loaded disc's tracks.
    void openWindow();
    TSaveWindow *window() const { return m_window; }
    // The engine's settings for this save; tests read a source of their own.
    void setSourceOverride(std::shared_ptr<platform::SectorSource> source) {
        m_sourceOverride = std::move(source);
    }
    // Why playing the drive's disc is refused now, or "".
    std::string playRefusal() const;

private:
    void start(const QString &folder);
    void begin(const save::SaveOptions &options);
    save::SaveOptions optionsFor(const QString &folder) const;
    void discKnown(const save::DiscLayout &disc);
    void progress(const save::SaveProgress &progress);
    void trackFinished(const save::TrackResult &result);
    void finished(const save::SaveResult &result);
    bool askToOverwrite(const QStringList &existing) const;
    void endWith(bool whole, const QString &text);
    int rowOf(int track);

    QPointer<TSaveWindow> m_window;
    save::DiscSaver *m_saver;
    std::shared_ptr<platform::SectorSource> m_sourceOverride;
    QString m_folder;
    QString m_source;
    save::SaveOptions m_options; // the save under way, or the one that asked to replace files
    std::map<int, int> m_rows; // track number (0: the hidden track) -> the window's row
    QStringList m_titles;      // the listed tracks' titles, first track first
    int m_firstTrack = 1;
    int m_shownPercent = -1; // the task bar's last progress
};
