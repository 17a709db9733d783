// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CClipActions.h"

#include "platform/MessageBox.h"
#include "record/ClipNames.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "view/CLookBackControl.h"
#include "view/CPictureConnection.h"
#include "view/CTimeline.h"

#include <QAction>
#include <QEvent>
#include <QFileDialog>
#include <QPainter>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace
{
constexpr std::chrono::milliseconds kProgressStep{100};
const QColor kMarkColour(255, 64, 64, 170);

QString ChooseWithDialog(QWidget* parent, const QString& suggested)
{
    QFileDialog dialog(parent, QStringLiteral("Save Clip"), suggested,
                       QStringLiteral("Matroska video (*.mkv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("mkv"));
    // The question about an existing name is asked here, once, for the saver to replace it.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    {
        return {};
    }
    return dialog.selectedFiles().first();
}

std::u16string DvrName(CPictureConnection& connection)
{
    return connection.GetClient().GetConnectInfo().Name;
}
} // namespace

CClipActions::CClipActions(CLookBackControl& control, QWidget& host)
    : QObject(&control), m_control(control), m_host(host), m_chooser(ChooseWithDialog)
{
    host.installEventFilter(this);
}

CClipActions::~CClipActions()
{
    m_host.removeEventFilter(this);
    m_saver.Cancel();
    m_recorders.clear();
}

void CClipActions::SetRecordItem(QAction* item)
{
    m_pRecordItem = item;
    if (item != nullptr)
    {
        item->setCheckable(true);
    }
    UpdateRecordItem();
}

void CClipActions::SetConnections(std::vector<CPictureConnection*> connections)
{
    Suspend();
    CancelSave();
    m_connections = std::move(connections);
    m_markIn.reset();
    m_markOut.reset();
    m_control.GetTimeline().SetMarks({});
    m_recorders.clear();
    m_recorders.resize(m_connections.size());
    if (m_recording)
    {
        for (size_t i = 0; i < m_connections.size(); ++i)
        {
            StartTile(i);
        }
    }
}

bool CClipActions::OnCommand(unsigned id)
{
    switch (id)
    {
    case ID_LOOKBACK_SAVE_CLIP:
        SaveClip();
        return true;
    case ID_LOOKBACK_MARK_IN:
        SetMark(true);
        return true;
    case ID_LOOKBACK_MARK_OUT:
        SetMark(false);
        return true;
    case ID_LOOKBACK_RECORD:
        SetRecording(!m_recording);
        return true;
    default:
        return false;
    }
}

std::pair<CLookBack::SteadyTime, CLookBack::SteadyTime> CClipActions::SaveSpan() const
{
    if (m_markIn && m_markOut && *m_markIn != *m_markOut)
    {
        return std::minmax(*m_markIn, *m_markOut);
    }
    const CLookBack::SteadyTime to = m_control.GetLookBack().GetMoment();
    return {to - kDefaultSpan, to};
}

void CClipActions::SetMark(bool in)
{
    (in ? m_markIn : m_markOut) = m_control.GetLookBack().GetMoment();
    std::vector<CTimeline::Mark> marks;
    if (m_markIn && m_markOut)
    {
        const auto [from, to] = std::minmax(*m_markIn, *m_markOut);
        marks.push_back({from, to, kMarkColour});
    }
    else
    {
        const CLookBack::SteadyTime at = m_markIn ? *m_markIn : *m_markOut;
        marks.push_back({at, at, kMarkColour});
    }
    m_control.GetTimeline().SetMarks(std::move(marks));
}

void CClipActions::SaveClip()
{
    const size_t index = m_connections.size() == 1 ? 0 : m_selected;
    if (index >= m_connections.size() || m_connections[index] == nullptr)
    {
        Tell(LoadString(IDS_CLIP_NO_PICTURES));
        return;
    }
    if (m_saver.GetState() == CClipSaver::State::Saving)
    {
        return;
    }
    CPictureConnection& connection = *m_connections[index];
    const CFrameHistory& history = connection.GetDisplay().GetHistory();
    const auto [from, to] = SaveSpan();
    const std::optional<HistoryFrameInfo> last = history.FindAt(to);
    CClipSaver::Request request{{}, {DvrName(connection), last ? last->channel : 0}, from, to};
    std::u16string error;
    const std::filesystem::path folder = MakeClipFolder(error);
    if (folder.empty())
    {
        Tell(error);
        return;
    }
    const std::string name = ClipFileName(request.identity.dvrName, request.identity.channel,
                                          m_control.GetLookBack().ClockOf(from));
    const QString chosen =
        m_chooser(&m_host, QString::fromStdU16String((folder / name).u16string()));
    if (chosen.isEmpty())
    {
        return;
    }
    request.file = std::filesystem::path(chosen.toStdU16String());
    std::error_code ignored;
    if (std::filesystem::exists(request.file, ignored))
    {
        const std::u16string question =
            QString::fromStdU16String(LoadString(IDS_CLIP_REPLACE))
                .arg(QString::fromStdU16String(request.file.filename().u16string()))
                .toStdU16String();
        if (m_pMessageBox == nullptr ||
            m_pMessageBox->Show(question, u"", MessageBoxIcon::Question,
                                MessageBoxButtons::YesNo) != MessageBoxAnswer::Yes)
        {
            return;
        }
        request.overwrite = true;
    }
    const bool started = m_saver.Start(
        history, std::move(request),
        [this] { QMetaObject::invokeMethod(this, [this] { OnSaveEnded(); }, Qt::QueuedConnection); });
    if (!started)
    {
        Tell(m_saver.GetError());
        return;
    }
    QTimer::singleShot(kProgressAfter, this,
                       [this]
                       {
                           if (m_saver.GetState() != CClipSaver::State::Saving || m_pProgress)
                           {
                               return;
                           }
                           m_pProgress = new QProgressDialog(QStringLiteral("Saving the clip..."),
                                                             QStringLiteral("Cancel"), 0, 100, &m_host);
                           m_pProgress->setObjectName(QStringLiteral("clipProgress"));
                           m_pProgress->setMinimumDuration(0);
                           connect(m_pProgress, &QProgressDialog::canceled, this,
                                   [this] { m_saver.Cancel(); });
                           auto* step = new QTimer(m_pProgress);
                           connect(step, &QTimer::timeout, m_pProgress,
                                   [this]
                                   {
                                       m_pProgress->setValue(
                                           static_cast<int>(m_saver.GetProgress() * 100));
                                   });
                           step->start(kProgressStep);
                           m_pProgress->show();
                       });
}

void CClipActions::OnSaveEnded()
{
    if (m_pProgress)
    {
        m_pProgress->deleteLater();
        m_pProgress = nullptr;
    }
    if (m_saver.GetState() == CClipSaver::State::Failed)
    {
        Tell(m_saver.GetError());
    }
}

void CClipActions::SetRecording(bool on)
{
    if (on == m_recording)
    {
        UpdateRecordItem();
        return;
    }
    m_recording = on;
    if (on)
    {
        for (size_t i = 0; i < m_connections.size() && m_recording; ++i)
        {
            StartTile(i);
        }
    }
    else
    {
        Suspend();
    }
    UpdateRecordItem();
}

void CClipActions::CancelSave()
{
    m_saver.Cancel();
    // A cancelled save ends within a few frames; the bound only keeps a stuck disk from hanging us.
    m_saver.Wait(std::chrono::minutes(1));
}

void CClipActions::Suspend()
{
    for (size_t i = 0; i < m_recorders.size(); ++i)
    {
        StopTile(i);
    }
}

void CClipActions::StopTile(size_t index)
{
    if (index < m_recorders.size() && m_recorders[index])
    {
        m_recorders[index].reset();
        if (onRecordingChanged)
        {
            onRecordingChanged(index);
        }
    }
}

void CClipActions::ResumeTile(size_t index)
{
    if (m_recording)
    {
        StartTile(index);
    }
}

void CClipActions::StartTile(size_t index)
{
    if (index >= m_connections.size() || m_connections[index] == nullptr || m_recorders[index])
    {
        return;
    }
    std::u16string error;
    const std::filesystem::path folder = MakeClipFolder(error);
    if (folder.empty())
    {
        m_recording = false;
        Suspend();
        Tell(error);
        return;
    }
    CPictureConnection& connection = *m_connections[index];
    auto recorder = std::make_unique<CRecorder>(connection.GetDisplay().GetHistory(), folder,
                                                DvrName(connection));
    const CRecorder* raw = recorder.get();
    recorder->SetObserver(
        [this, index, raw](const CRecorder::Status& status)
        {
            const std::u16string reason = status.recording ? u"" : status.stopReason;
            QMetaObject::invokeMethod(
                this, [this, index, raw, reason] { OnRecorderStatus(index, raw, reason); },
                Qt::QueuedConnection);
        });
    if (!recorder->Start())
    {
        const std::u16string reason = recorder->GetStatus().stopReason;
        m_recording = false;
        Suspend();
        Tell(reason);
        return;
    }
    m_recorders[index] = std::move(recorder);
}

// Every batch written repaints the mark; a recorder that stopped by itself ends Record.
void CClipActions::OnRecorderStatus(size_t index, const CRecorder* recorder, std::u16string reason)
{
    if (index >= m_recorders.size() || m_recorders[index].get() != recorder)
    {
        return;
    }
    if (!reason.empty() && m_recording)
    {
        m_recording = false;
        Suspend();
        UpdateRecordItem();
        Tell(reason);
        return;
    }
    if (onRecordingChanged)
    {
        onRecordingChanged(index);
    }
}

QString CClipActions::RecordingText(size_t index) const
{
    const std::optional<CRecorder::Status> status = GetRecorderStatus(index);
    if (!status || !status->recording)
    {
        return {};
    }
    return QString::fromStdU16String(FormatRecordingMark(status->elapsed, status->bytes));
}

std::optional<CRecorder::Status> CClipActions::GetRecorderStatus(size_t index) const
{
    if (index >= m_recorders.size() || !m_recorders[index])
    {
        return std::nullopt;
    }
    return m_recorders[index]->GetStatus();
}

QRect CClipActions::PaintRecordingMark(QPainter& painter, const QRect& area, const QString& text)
{
    if (text.isEmpty() || area.isEmpty())
    {
        return {};
    }
    painter.save();
    const QFontMetrics metrics = painter.fontMetrics();
    QRect badge = metrics.boundingRect(text).adjusted(-6, -3, 6, 3);
    badge.moveBottomLeft(area.bottomLeft() + QPoint(6, -6));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 0, 0, 220));
    painter.drawRoundedRect(badge, 4, 4);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, text);
    painter.restore();
    return badge;
}

size_t CClipActions::GetRecorderCount() const
{
    return static_cast<size_t>(std::count_if(m_recorders.begin(), m_recorders.end(),
                                              [](const auto& recorder) { return recorder != nullptr; }));
}

void CClipActions::UpdateRecordItem()
{
    if (m_pRecordItem != nullptr && m_host.isVisible())
    {
        m_pRecordItem->setChecked(m_recording);
    }
}

void CClipActions::Tell(const std::u16string& text)
{
    if (m_pMessageBox != nullptr && !text.empty())
    {
        m_pMessageBox->Show(text, u"", MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
    }
}

bool CClipActions::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_host && event->type() == QEvent::Show)
    {
        UpdateRecordItem();
    }
    return QObject::eventFilter(watched, event);
}
