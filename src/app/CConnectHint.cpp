// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CConnectHint.h"

#include "decode/CJpegDecoder.h"
#include "display/LogoResource.h"
#include "platform/SilentMessageBox.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QVBoxLayout>

namespace
{
// Light enough to read on the view's dark background, quieter than a picture.
const QColor kLineColour(200, 200, 200);
constexpr int kMargin = 12;

// Decoded as every picture is, rather than by an image plugin loaded for this one.
QPixmap LogoPixmap()
{
    SilentMessageBox quiet;
    CJpegDecoder decoder(quiet);
    if (!decoder.Decode(kLogoJpeg, kLogoJpegLength))
    {
        return {};
    }
    const QImage bottomUp(decoder.GetBits(), decoder.GetWidth(), decoder.GetHeight(),
                          static_cast<qsizetype>(decoder.GetStride()), QImage::Format_BGR888);
    return QPixmap::fromImage(bottomUp.mirrored());
}
} // namespace

CConnectHint::CConnectHint(QWidget& view, std::function<void()> onClick)
    : QWidget(&view), m_onClick(std::move(onClick)), m_pLogo(new QLabel(this)),
      m_pLine(new QLabel(this))
{
    setObjectName(QStringLiteral("connectHint"));
    const QPixmap logo = LogoPixmap();
    m_pLogo->setObjectName(QStringLiteral("connectHintLogo"));
    m_pLogo->setPixmap(logo);
    m_pLogo->setAlignment(Qt::AlignCenter);
    m_pLogo->setAccessibleName(QString::fromStdU16String(LoadString(IDS_APP_TITLE)));
    m_pLine->setObjectName(QStringLiteral("connectHintLine"));
    m_pLine->setAlignment(Qt::AlignCenter);
    // A phone in portrait is narrower than the line: it wraps, nothing is cut.
    m_pLine->setWordWrap(true);
    QPalette palette = m_pLine->palette();
    palette.setColor(QPalette::WindowText, kLineColour);
    m_pLine->setPalette(palette);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addStretch();
    layout->addWidget(m_pLogo);
    layout->addWidget(m_pLine);
    layout->addStretch();
    for (QLabel* label : {m_pLogo, m_pLine})
    {
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
    }
    SetDirectoryEmpty(false);
}

void CConnectHint::SetDirectoryEmpty(bool empty)
{
    const QString text =
        QString::fromStdU16String(LoadString(empty ? IDS_CONNECT_HINT_NO_DVR : IDS_CONNECT_HINT));
    m_pLine->setText(text);
    m_pLine->setAccessibleName(text);
}

// On release, as a button is: a press that slides off does nothing.
bool CConnectHint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease)
    {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        auto* label = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton &&
            label->rect().contains(mouse->position().toPoint()))
        {
            m_onClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
