// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtMessageBox.h"

#include "platform/HandOver.h"

#include "platform/MessageBoxSeam.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace
{
constexpr char16_t kDefaultCaption[] = u"Quillon";

QString ToQString(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

QMessageBox::Icon ToQtIcon(MessageBoxIcon icon)
{
    switch (icon)
    {
    case MessageBoxIcon::Error:
        return QMessageBox::Critical;
    case MessageBoxIcon::Information:
        return QMessageBox::Information;
    case MessageBoxIcon::Question:
        return QMessageBox::Question;
    case MessageBoxIcon::Exclamation:
        break;
    }
    return QMessageBox::Warning;
}

MessageBoxAnswer ShowOnGuiThread(const MessageBoxRequest& request)
{
    QMessageBox box(ToQtIcon(request.icon), ToQString(request.caption), ToQString(request.text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    if (request.buttons == MessageBoxButtons::YesNo)
    {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageBoxAnswer::Ok;
}
} // namespace

MessageBoxAnswer QtMessageBox::Show(const std::u16string& text, const std::u16string& caption,
                                    MessageBoxIcon icon, MessageBoxButtons buttons)
{
    const MessageBoxRequest request{text, caption.empty() ? kDefaultCaption : caption, icon,
                                    buttons};
    MessageBoxAnswer answer = MessageBoxAnswer::Ok;
    if (MessageBoxSeam::Answer(request, answer))
    {
        return answer;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
    {
        return buttons == MessageBoxButtons::YesNo ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
    }
    if (QThread::currentThread() == app->thread())
    {
        return ShowOnGuiThread(request);
    }
    HandOver(&answer);
    QMetaObject::invokeMethod(
        app,
        [&]
        {
            TakeOver(&answer);
            answer = ShowOnGuiThread(request);
            HandOver(&answer);
        },
        Qt::BlockingQueuedConnection);
    TakeOver(&answer);
    return answer;
}
