#include "host/eservice.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <tuple>

#include "host/player_backend.h"
#include "host/transcript.h"

namespace {

constexpr int kStreamType = 4096;
constexpr int kNumberFields = 10;  // type, flags, eight data words

// One colon-terminated number at text[pos], decimal or hex; false when the
// field is empty, not a number, too large or without its colon.
bool takeNumber(const std::string& text, size_t& pos, int base, long long& value) {
  size_t colon = text.find(':', pos);
  if (colon == std::string::npos || colon == pos) return false;
  std::string field = text.substr(pos, colon - pos);
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(field.c_str(), &end, base);
  if (errno != 0 || !end || *end != '\0' || field[0] == '+' || field[0] == ' ') return false;
  if (v < -2147483648LL || v > 0xffffffffLL) return false;
  value = v;
  pos = colon + 1;
  return true;
}

}  // namespace

eServiceReference::eServiceReference(const eString& text) {
  size_t pos = 0;
  long long numbers[kNumberFields];
  for (int i = 0; i < kNumberFields; ++i) {
    // Type and flags are decimal, the data words hexadecimal.
    if (!takeNumber(text, pos, i < 2 ? 10 : 16, numbers[i])) return;  // stays invalid
  }
  type = static_cast<int>(numbers[0]);
  flags = static_cast<int>(numbers[1]);
  for (int i = 0; i < 8; ++i) data[i] = static_cast<int>(static_cast<unsigned int>(numbers[2 + i]));
  path = text.substr(pos);
}

eString eServiceReference::toString() const {
  if (!valid()) return eString();
  eString text;
  text.sprintf("%d:%d:%x:%x:%x:%x:%x:%x:%x:%x:", type, flags, static_cast<unsigned>(data[0]),
               static_cast<unsigned>(data[1]), static_cast<unsigned>(data[2]),
               static_cast<unsigned>(data[3]), static_cast<unsigned>(data[4]),
               static_cast<unsigned>(data[5]), static_cast<unsigned>(data[6]),
               static_cast<unsigned>(data[7]));
  return text + path;
}

namespace {
auto fields(const eServiceReference& r) {
  return std::tie(r.type, r.flags, r.data[0], r.data[1], r.data[2], r.data[3], r.data[4],
                  r.data[5], r.data[6], r.data[7], r.path);
}
}  // namespace

bool eServiceReference::operator==(const eServiceReference& other) const {
  return fields(*this) == fields(other);
}

bool eServiceReference::Parental_Compare::operator()(const eServiceReference& a,
                                                     const eServiceReference& b) const {
  auto key = [](const eServiceReference& r) {
    return std::tie(r.type, r.data[0], r.data[1], r.data[2], r.data[3], r.data[4], r.data[5],
                    r.data[6], r.data[7]);
  };
  if (key(a) != key(b)) return key(a) < key(b);
  // A broadcast service is the same service whatever its path says; a
  // stream or file is known only by its path.
  if (a.type == 1) return false;
  return a.path < b.path;
}

std::set<eServiceReference, eServiceReference::Parental_Compare> eServiceReference::locked;

eString ref2string(const eServiceReference& ref) { return ref.toString(); }

eServiceReference string2ref(const eString& text) { return eServiceReference(text); }

eServiceHandler::~eServiceHandler() = default;
ePlayerBackend::~ePlayerBackend() = default;

eServiceInterface* eServiceInterface::getInstance() {
  static eServiceInterface* instance = new eServiceInterface;
  return instance;
}

eDVB* eDVB::getInstance() {
  static eDVB* instance = new eDVB;
  return instance;
}

eServiceInterface* eDVB::getServiceAPI() {
  return available_ ? eServiceInterface::getInstance() : nullptr;
}

eZapMain* eZapMain::getInstance() {
  static eZapMain* instance = new eZapMain;
  return instance;
}

void eZapMain::playService(const eServiceReference& ref, int mode) {
  host_transcript::line("playService " + host_transcript::quoted(ref2string(ref)) +
                        " mode=" + std::to_string(mode));
  // A reference that does not parse names nothing to play; what plays goes on.
  if (!ref.valid()) return;
  eServiceHandler* handler = nullptr;
  if (player_) {
    player_->stop();
    handler = player_->play(ref);
  }
  eServiceInterface* services = eServiceInterface::getInstance();
  services->current_ = ref;
  services->handler_ = handler;
}
