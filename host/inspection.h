#pragma once
// The host from the other side: what the desktop front ends and the tests
// set up in it and read back, beyond what a receiver's host offers a
// plug-in (host/host.h). The plug-in never includes this.
#include <utility>

#include "host/decoder.h"
#include "host/elcd.h"
#include "host/eservice.h"
#include "host/player_backend.h"
#include "host/transcript.h"

// A player that plays nothing: its handler answers the info queries with
// two fixed texts (id 1 the title, id 2 the second text, others empty).
class HOST_API eFixedInfoPlayer : public ePlayerBackend, private eServiceHandler {
 public:
  eFixedInfoPlayer(eString title = eString(), eString title2 = eString())
      : title_(std::move(title)), title2_(std::move(title2)) {}
  eServiceHandler* play(const eServiceReference& ref) override;
  void stop() override {}

 private:
  eString getInfo(int id) override;
  eString title_, title2_;
};

// Set-up and read-back of what the host keeps private: the one friend of
// the receiver-facing classes that hold it.
class HOST_API HostInspection {
 public:
  // The player that playService hands references to (not owned; null: none).
  static void setPlayer(ePlayerBackend* player);
  // Makes ref the running service, answered by handler (null: no handler).
  static void setCurrentService(const eServiceReference& ref, eServiceHandler* handler);
  // Without it eDVB::getServiceAPI() answers null, as a host without one does.
  static void setServiceAPIAvailable(bool available);

  // The decoder block as last applied with Decoder::Set(), and how often
  // Set() ran.
  static decoderParameters decoderApplied();
  static int decoderSets();

  // A host LCD's lock as it stands: held or not, its nesting count, and
  // how often lock() and unlock() were called.
  struct LcdLock {
    bool locked;
    int count, locks, unlocks;
  };
  static LcdLock lcdLock(const eLCD& lcd);
};
