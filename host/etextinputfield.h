#pragma once
#include "host/ebutton.h"

// A text entry. OK starts editing and emits `selected`; OK again ends the
// editing and emits `selected` once more. While editing, digit keys (and
// the desktop front end's typed characters) are inserted when the field
// accepts them: at most maxChars characters, only the usable characters
// when a set of them was given, never control characters. Exit while
// editing ends the editing like OK (emitting `selected`); the arrows are
// taken by the field while editing, so the focus stays on it.
class HOST_API eTextInputField : public eButton {
 public:
  eTextInputField(eWidget* parent, eLabel* description = nullptr,
                  eWidget* helpWidget = nullptr, const char* deco = "eNumber");
  void setMaxChars(int count);
  int getMaxChars() const { return maxChars_; }
  void setUseableChars(const char* chars);
  const eString& getUseableChars() const { return useable_; }
  bool isEditing() const { return editing_; }
  // Replaces the text while editing, as a person would by deleting and
  // typing: characters the field refuses are left out. Returns false when
  // the field is not being edited.
  bool typeText(const eString& text);
  // Inserts one typed character while editing; false when refused.
  bool typeChar(char c);
  // Whether the field takes this character at all (length aside).
  bool accepts(char c) const;
  const char* className() const override { return "eTextInputField"; }
  bool keyDown(eKey key) override;

  // Shown while the field is empty or being edited.
  eString editHelpText;

 private:
  void setEditing(bool editing);

  int maxChars_ = 0;  // 0: no limit
  eString useable_;
  bool editing_ = false;
};
