// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/CLookBack.h"
#include "record/CClipSaver.h"
#include "record/CRecorder.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CLookBackControl;
class CPictureConnection;
class IMessageBox;
class QAction;
class QPainter;
class QProgressDialog;
class QRect;
class QWidget;

// Save Clip, Mark In, Mark Out and Record for what a look-back control shows:
// the single view's camera or every tile of a wall. The saver's and recorders'
// threads only post to the GUI thread, where everything here runs.
class CClipActions final : public QObject
{
public:
    static constexpr std::chrono::seconds kDefaultSpan{30};
    static constexpr std::chrono::milliseconds kProgressAfter{1000};
    // The folder proposed and the suggested file's path; the chosen path, empty when cancelled.
    using FileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    CClipActions(CLookBackControl& control, QWidget& host);
    ~CClipActions() override;

    void SetMessageBox(IMessageBox* messageBox) { m_pMessageBox = messageBox; }
    void SetFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    // The Record item, checked while this host records and is on screen.
    void SetRecordItem(QAction* item);

    // The connections the control was given; recorders follow them while Record is on.
    void SetConnections(std::vector<CPictureConnection*> connections);
    void SetSelected(size_t index) { m_selected = index; }
    // Save Clip, Mark In, Mark Out or Record; false for any other id.
    bool OnCommand(unsigned id);

    void SetRecording(bool on);
    bool IsRecording() const { return m_recording; }
    // One tile's recorder, while its history is lent to another view; Record stays on.
    void StopTile(size_t index);
    void ResumeTile(size_t index);
    // Every recorder stopped before the histories change; Record stays on.
    void Suspend();
    // Ends a save under way, waiting for it: before the history it reads is destroyed.
    void CancelSave();
    // "REC 00:03:12 · 41 MB" while that connection is recorded; empty otherwise.
    QString RecordingText(size_t index) const;
    // The mark's look: white on red at the bottom left of the picture. Where it went.
    static QRect PaintRecordingMark(QPainter& painter, const QRect& area, const QString& text);
    std::optional<CRecorder::Status> GetRecorderStatus(size_t index) const;
    size_t GetRecorderCount() const;

    CClipSaver& GetSaver() { return m_saver; }
    // The span Save Clip writes now: the marks, else the 30 s before the moment.
    std::pair<CLookBack::SteadyTime, CLookBack::SteadyTime> SaveSpan() const;

    // A recording's mark over a connection's picture has changed.
    std::function<void(size_t index)> onRecordingChanged;

private:
    void SaveClip();
    void OnSaveEnded();
    void SetMark(bool in);
    void StartTile(size_t index);
    void OnRecorderStatus(size_t index, const CRecorder* recorder, std::u16string reason);
    void UpdateRecordItem();
    void Tell(const std::u16string& text);
    bool eventFilter(QObject* watched, QEvent* event) override;

    CLookBackControl& m_control;
    QWidget& m_host;
    IMessageBox* m_pMessageBox = nullptr;
    FileChooser m_chooser;
    QAction* m_pRecordItem = nullptr;
    std::vector<CPictureConnection*> m_connections;
    size_t m_selected = 0;
    std::optional<CLookBack::SteadyTime> m_markIn;
    std::optional<CLookBack::SteadyTime> m_markOut;

    CClipSaver m_saver;
    QPointer<QProgressDialog> m_pProgress;

    bool m_recording = false;
    std::vector<std::unique_ptr<CRecorder>> m_recorders; // by connection, null when none
};
