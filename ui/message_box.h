#pragma once
// The plug-in's modal boxes, with the host's named button and icon flags.
#include <clocale>

#include "host/host.h"

namespace oruvel {

// The flags of the boxes the plug-in shows.
enum BoxFlags : int {
  kBoxOk = eMessageBox::btOK,
  kBoxInfoOk = eMessageBox::iconInfo | eMessageBox::btOK,
  kBoxInfoOkCancel = eMessageBox::iconInfo | eMessageBox::btOK | eMessageBox::btCancel,
  kBoxInfoYesNo = eMessageBox::iconInfo | eMessageBox::btYes | eMessageBox::btNo,
  kBoxInfoNoButton = eMessageBox::iconInfo,
};

inline const char* translated(const char* text) { return dcgettext(nullptr, text, LC_MESSAGES); }

// Shows a box and runs it until the user closes it; the value of the button
// that closed it (eMessageBox::btOK, btYes, ...).
int askUser(const eString& text, const eString& caption, int flags);

// The information box: caption "Oruvel-Information" from the message
// catalogue, one OK button.
int showInformation(const eString& text);

}  // namespace oruvel
