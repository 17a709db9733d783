#pragma once

// Lets the GUI thread keep handling events (the receiver's synchronous
// notifications among them) while it waits for the receiver.
class IMessagePump
{
public:
    virtual ~IMessagePump() = default;
    virtual void DispatchPending() = 0;
};
