#pragma once
// Services: references, the service interface and its current handler,
// the player, the parental lock.
#include <set>

#include "host/estring.h"
#include "host/host_api.h"

// A service reference, text form "type:flags:d0:d1:d2:d3:d4:d5:d6:d7:path"
// (ten colon-terminated numbers: type and flags decimal, the data words
// hexadecimal; then the path, which may hold colons). Type 4096 with a URL
// as path is an internet stream. Text that does not parse gives an invalid
// reference (type -1), whose text form is empty.
class HOST_API eServiceReference {
 public:
  eServiceReference() = default;
  explicit eServiceReference(const eString& text);
  int type = -1;
  int flags = 0;
  int data[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  eString path;

  bool valid() const { return type != -1; }
  eString toString() const;
  bool operator==(const eServiceReference& other) const;
  bool operator!=(const eServiceReference& other) const { return !(*this == other); }

  // Orders references for the parental lock (type and data, path ignored
  // for TV services).
  struct HOST_API Parental_Compare {
    bool operator()(const eServiceReference& a, const eServiceReference& b) const;
  };
  // The host's parentally locked services.
  static std::set<eServiceReference, Parental_Compare> locked;
};

HOST_API eString ref2string(const eServiceReference& ref);
HOST_API eServiceReference string2ref(const eString& text);

// The handler of the running service answers text queries by id:
// 1 the stream's title, 2 a second text (the station's name).
class HOST_API eServiceHandler {
 public:
  virtual ~eServiceHandler();
  virtual eString getInfo(int id) = 0;
};

class HOST_API eServiceInterface {
 public:
  static eServiceInterface* getInstance();
  // The running service's handler; null when nothing plays.
  eServiceHandler* getService() const { return handler_; }
  const eServiceReference& getCurrentService() const { return current_; }

 private:
  friend class eZapMain;
  friend class HostInspection;  // host/inspection.h sets the service up
  eServiceReference current_;
  eServiceHandler* handler_ = nullptr;
};

class HOST_API eDVB {
 public:
  static eDVB* getInstance();
  // The service interface, or null when the host has none.
  eServiceInterface* getServiceAPI();

 private:
  friend class HostInspection;
  bool available_ = true;
};

class ePlayerBackend;

// The host's player. playService makes the reference the current service
// with the handler of whatever plays it (host/player_backend.h); a
// reference that does not parse leaves the current service as it was.
class HOST_API eZapMain {
 public:
  static eZapMain* getInstance();
  void playService(const eServiceReference& ref, int mode);

 private:
  friend class HostInspection;
  ePlayerBackend* player_ = nullptr;  // not owned
};
