#pragma once

#include <functional>

class TObject;
class TCustomWinSocket;
class TServerClientWinSocket;

// What a socket tells its owner, numbered as the transport relies on.
enum TSocketEvent {
    seLookup = 0,
    seConnecting = 1,
    seConnect = 2,
    seDisconnect = 3,
    seListen = 4,
    seAccept = 5,
    seWrite = 6,
    seRead = 7,
};

// The operation that failed, for error events and error messages.
enum TErrorEvent {
    eeGeneral = 0,
    eeSend = 1,
    eeReceive = 2,
    eeConnect = 3,
    eeDisconnect = 4,
    eeAccept = 5,
};

// Event handlers are method pointers: an object and one of its methods, bound
// into a callable. An empty handler is "not set".
using TSocketEventEvent = std::function<void(TObject* sender, TCustomWinSocket* socket, TSocketEvent event)>;
using TSocketErrorEvent =
    std::function<void(TObject* sender, TCustomWinSocket* socket, TErrorEvent errorEvent, int& errorCode)>;
using TSocketNotifyEvent = std::function<void(TObject* sender, TCustomWinSocket* socket)>;
using TGetSocketEvent = std::function<void(TObject* sender, int socketHandle, TServerClientWinSocket*& clientSocket)>;

// The name of the failed call for each TErrorEvent, as error messages show it.
const char* ErrorEventName(TErrorEvent event);
