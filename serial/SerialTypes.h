#pragma once

#include <functional>

class QObject;

// An event handler taking its sender, as every event of the serial component.
using TNotifyEvent = std::function<void(QObject* Sender)>;
