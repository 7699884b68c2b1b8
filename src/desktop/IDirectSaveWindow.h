#pragma once
#include <QByteArray>

// The XdndDirectSave0 property of the window a drag comes from: wharf puts
// the suggested name there, the target replaces it with the file:// URI of
// where it wants the file. X11 has it (CX11DirectSave); tests play the target
// with a window of their own.
class IDirectSaveWindow
{
public:
    virtual ~IDirectSaveWindow() = default;
    // Once the drag has started: the suggested name goes on the drag's source
    // window. False when there is no drag to put it on.
    virtual bool Begin(const QByteArray& name) = 0;
    // What the property holds now; empty when it is gone.
    virtual QByteArray Read() = 0;
    // The drag is over: the property goes.
    virtual void End() = 0;
};
