#include "ui/message_box.h"

namespace oruvel {

int askUser(const eString& text, const eString& caption, int flags) {
  eMessageBox box(text, caption, flags, eMessageBox::btOK, 0);
  box.show();
  int answer = box.exec();
  box.hide();
  return answer;
}

int showInformation(const eString& text) {
  return askUser(text, translated("Oruvel-Information"), kBoxInfoOk);
}

}  // namespace oruvel
