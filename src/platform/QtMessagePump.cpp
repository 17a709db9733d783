#include "platform/QtMessagePump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

void QtMessagePump::DispatchPending()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtMessagePump::Post(std::function<void()> task)
{
    if (QCoreApplication* app = QCoreApplication::instance())
    {
        QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    }
}
