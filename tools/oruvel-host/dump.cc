#include "tools/oruvel-host/dump.h"

#include <cstdint>
#include <cstdio>

#include "host/host.h"
#include "host/transcript.h"

namespace oruvel_host {
namespace {

using host_transcript::quoted;

std::string geometry(const char* what, int a, int b, char sep) {
  char text[64];
  if (sep == ',')
    std::snprintf(text, sizeof text, "%s=(%d,%d)", what, a, b);
  else
    std::snprintf(text, sizeof text, "%s=%dx%d", what, a, b);
  return text;
}

std::string entryLine(const std::string& indent, const eListBoxEntryText* entry, bool mark,
                      const char* markText) {
  std::string line = indent + "entry key=" +
                     std::to_string(static_cast<long long>(reinterpret_cast<std::intptr_t>(
                         entry->getKey()))) +
                     " " + quoted(entry->getText());
  if (mark) line += std::string(" ") + markText;
  return line;
}

void dumpEntries(std::vector<std::string>& out, const std::string& indent,
                 const eListBoxBase& list, const eListBoxEntry* current, const char* currentMark,
                 const eListBoxEntry* highlighted) {
  for (int i = 0; i < list.getCount(); ++i) {
    auto* entry = static_cast<const eListBoxEntryText*>(list.entryAt(i));
    std::string line = entryLine(indent, entry, entry == current, currentMark);
    if (highlighted && entry == highlighted && entry != current) line += " *highlighted*";
    out.push_back(line);
  }
}

void dumpWidget(std::vector<std::string>& out, eWidget* widget, eWidget* window, int depth) {
  const std::string indent(static_cast<size_t>(depth) * 2, ' ');
  std::string line = indent + widget->className();
  if (!widget->getName().empty()) line += " name=" + quoted(widget->getName());
  line += " " + geometry("pos", widget->getPosition().x, widget->getPosition().y, ',');
  line += " " + geometry("size", widget->getSize().width, widget->getSize().height, 'x');
  auto* statusBar = dynamic_cast<eStatusBar*>(widget);
  line += " text=" + quoted(statusBar ? statusBar->currentText() : widget->getText());
  if (!widget->getHelpText().empty()) line += " help=" + quoted(widget->getHelpText());
  auto* field = dynamic_cast<eTextInputField*>(widget);
  if (field) {
    if (!field->editHelpText.empty()) line += " hint=" + quoted(field->editHelpText);
    if (field->getMaxChars() > 0) line += " max=" + std::to_string(field->getMaxChars());
    if (!field->getUseableChars().empty()) line += " chars=" + quoted(field->getUseableChars());
    if (field->isEditing()) line += " editing";
  }
  auto* button = dynamic_cast<eButton*>(widget);
  if (button && !button->getShortcut().empty()) line += " shortcut=" + button->getShortcut();
  auto* combo = dynamic_cast<eComboBox*>(widget);
  if (combo && combo->isOpen()) line += " open";
  auto* list = dynamic_cast<eListBoxBase*>(widget);
  if (list) {
    line += " count=" + std::to_string(list->getCount()) +
            " top=" + std::to_string(list->getTopIndex()) +
            " rows=" + std::to_string(list->visibleRows());
  }
  if (auto* deco = dynamic_cast<eDecoWidget*>(widget))
    line += deco->decoLoaded() ? " deco=" + deco->decoName() : std::string(" nodeco");
  if (!widget->isShownItself()) line += " hidden";
  if (window->getFocus() == widget) line += " *focus*";
  out.push_back(line);

  const std::string entryIndent = indent + "  ";
  if (combo) {
    dumpEntries(out, entryIndent, *combo->getListBox(), combo->getCurrent(), "*current*",
                combo->isOpen() ? combo->getHighlighted() : nullptr);
  } else if (list) {
    dumpEntries(out, entryIndent, *list, list->getCurrentEntry(), "*highlighted*", nullptr);
  }
  for (eWidget* child : widget->getChildren()) dumpWidget(out, child, window, depth + 1);
}

}  // namespace

std::vector<std::string> dumpWindow(eWidget* window, bool running) {
  std::vector<std::string> out;
  std::string line = std::string("window ") + window->className() + " " +
                     quoted(window->getText());
  if (auto* w = dynamic_cast<eWindow*>(window)) {
    line += " " + geometry("client", w->getClientPosition().x, w->getClientPosition().y, ',');
    line += " " + std::to_string(w->getClientSize().width) + "x" +
            std::to_string(w->getClientSize().height);
  }
  if (auto* box = dynamic_cast<eMessageBox*>(window)) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%x", static_cast<unsigned>(box->getFlags()));
    line += std::string(" flags=") + flags;
  }
  if (running) line += " running";
  out.push_back(line);
  for (eWidget* child : window->getChildren()) dumpWidget(out, child, window, 1);
  return out;
}

std::vector<std::string> dumpScreen() {
  std::vector<std::string> out;
  for (eWidget* window : eApp->windows()) {
    if (!window->isVisible()) continue;
    auto lines = dumpWindow(window, window->isExecuting());
    out.insert(out.end(), lines.begin(), lines.end());
  }
  if (out.empty()) out.push_back("no windows");
  return out;
}

}  // namespace oruvel_host
