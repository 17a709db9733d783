// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtMessagePump.h"

#include "platform/HandOver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <memory>

void QtMessagePump::DispatchPending()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtMessagePump::Post(std::function<void()> task)
{
    if (QCoreApplication* app = QCoreApplication::instance())
    {
        auto handed = std::make_shared<std::function<void()>>(std::move(task));
        std::function<void()>* address = handed.get();
        HandOver(address);
        // The queue holds the only share from here, so the task ends on the thread that
        // ran it, never on this one while the other still reads it.
        QMetaObject::invokeMethod(
            app,
            [handed = std::move(handed)]
            {
                TakeOver(handed.get());
                (*handed)();
            },
            Qt::QueuedConnection);
    }
}
