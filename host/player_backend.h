#pragma once
// The player behind eZapMain::playService: the desktop host's real player,
// or a stub. The front end chooses it (host/inspection.h); the plug-in
// never sees it.
#include "host/host_api.h"

class eServiceHandler;
class eServiceReference;

class HOST_API ePlayerBackend {
 public:
  virtual ~ePlayerBackend();
  // Starts playing ref (stopping what played before); returns the handler
  // that answers the info queries, or null.
  virtual eServiceHandler* play(const eServiceReference& ref) = 0;
  virtual void stop() = 0;
};
