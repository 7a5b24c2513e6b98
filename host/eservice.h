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
  bool operator<(const eServiceReference& other) const;

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

  // Host side: what the player set up.
  void setCurrent(const eServiceReference& ref, eServiceHandler* handler);

 private:
  eServiceReference current_;
  eServiceHandler* handler_ = nullptr;
};

class HOST_API eDVB {
 public:
  static eDVB* getInstance();
  // The service interface, or null when the host has none.
  eServiceInterface* getServiceAPI();
  // Host side: take the service interface away (tests of the empty path).
  void setServiceAPIAvailable(bool available) { available_ = available; }

 private:
  bool available_ = true;
};

// The player behind playService: the desktop host's real player, or the
// headless one that only records what it was asked.
class HOST_API ePlayerBackend {
 public:
  virtual ~ePlayerBackend();
  // Starts playing ref (stopping what played before); returns the handler
  // that answers the info queries, or null.
  virtual eServiceHandler* play(const eServiceReference& ref) = 0;
  virtual void stop() = 0;
};

// The host's player. playService makes the reference the current service
// of eServiceInterface with the handler the player backend returns; a
// reference that does not parse leaves the current service as it was.
class HOST_API eZapMain {
 public:
  static eZapMain* getInstance();
  void playService(const eServiceReference& ref, int mode);
  void setPlayer(ePlayerBackend* player) { player_ = player; }  // not owned
  ePlayerBackend* getPlayer() const { return player_; }
  int playRequests() const { return playRequests_; }

 private:
  ePlayerBackend* player_ = nullptr;
  int playRequests_ = 0;
};

// A player that plays nothing: its handler answers the info queries with
// two fixed texts (id 1 the title, id 2 the second text, others empty).
class HOST_API eFixedInfoPlayer : public ePlayerBackend, private eServiceHandler {
 public:
  eFixedInfoPlayer(eString title = eString(), eString title2 = eString())
      : title_(std::move(title)), title2_(std::move(title2)) {}
  void setTitles(eString title, eString title2) {
    title_ = std::move(title);
    title2_ = std::move(title2);
  }
  eServiceHandler* play(const eServiceReference& ref) override;
  void stop() override {}
  eServiceHandler* handler() { return this; }

 private:
  eString getInfo(int id) override;
  eString title_, title2_;
};
